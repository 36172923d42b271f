#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout and the
# desktop files, makes the .deb (lintian must find no error in it), and starts
# the installed program from another folder on a virtual display: its window
# must show, with no error box.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/snipwave share/snipwave/mp3enc.skn share/snipwave/help/Snipwave.html \
         share/applications/snipwave.desktop share/icons/hicolor/scalable/apps/snipwave.svg \
         share/metainfo/io.github.snipwave.Snipwave.metainfo.xml share/man/man1/snipwave.1.gz \
         share/doc/snipwave/copyright share/doc/snipwave/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# Data files never sit beside the program.
[ "$(ls "$prefix/bin")" = snipwave ] || fail "bin/ holds more than the program: $(ls "$prefix/bin")"

desktop-file-validate "$prefix/share/applications/snipwave.desktop" || fail "the .desktop entry does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.snipwave.Snipwave.metainfo.xml" >/dev/null ||
  fail "the metainfo does not validate"
grep -q '^Exec=snipwave %F$' "$prefix/share/applications/snipwave.desktop" || fail "Exec line"
for mime in audio/mpeg audio/x-wav audio/x-ms-wma audio/ogg; do
  grep -q "^MimeType=.*$mime;" "$prefix/share/applications/snipwave.desktop" || fail "MimeType lacks $mime"
done

# The package: its files and its dependencies from dpkg-shlibdeps.
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null) || fail "cpack -G DEB"
deb=$(ls "$work"/deb/*.deb)
listing=$(dpkg-deb -c "$deb")
for f in ./usr/bin/snipwave ./usr/share/snipwave/mp3enc.skn ./usr/share/applications/snipwave.desktop \
         ./usr/share/metainfo/io.github.snipwave.Snipwave.metainfo.xml; do
  grep -q " $f\$" <<<"$listing" || fail "the package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libavcodec libsdl2 libcue2; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# Debian's rules: no error and no warning. The maintainer's address is left
# to whoever builds a release (-DSNIPWAVE_MAINTAINER); until then it is at
# localhost, which lintian reports as a mail host that does not exist.
suppress=()
if [[ $(dpkg-deb -f "$deb" Maintainer) == *@localhost\> ]]; then
  suppress=(--suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog)
fi
report=$(lintian --no-cfg --fail-on error,warning "${suppress[@]}" "$deb" 2>/dev/null) ||
  fail "lintian finds fault with the package:
$report"

# Started from an unrelated folder, the installed program finds its skin and
# shows its window; a missing skin would show an "Information" box instead.
mkdir -p "$work/elsewhere" "$work/config"
cd "$work/elsewhere"
windows=$(SNIPWAVE_CONFIG_DIR=$work/config SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1000x700x24" bash -c '
    "$0" & pid=$!
    for i in $(seq 1 40); do
      sleep 0.25
      if xwininfo -root -tree | grep -q "\"Snipwave\""; then break; fi
    done
    sleep 1
    xwininfo -root -tree
    kill $pid 2>/dev/null || true' "$prefix/bin/snipwave")
grep -q '"Snipwave"' <<<"$windows" || fail "the installed program showed no window"
if grep -q '"Information' <<<"$windows"; then fail "the installed program showed an error box"; fi
echo "installed, packaged and started: $(basename "$deb")"
