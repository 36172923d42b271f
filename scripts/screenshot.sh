#!/usr/bin/env bash
# Takes the pictures in docs/ from the real program on a virtual X display,
# each with a track given on the command line and a range marked with keys:
#   docs/screenshot.png          the window at its designed size
#   docs/waveform-range.png      a quiet track zoomed to its range (Z), +15 dB
#   docs/screenshot-maximised.png  the window filling a 1600 x 1000 screen,
#                                the waveform tall and zoomed to its range
#   docs/screenshot-scale2.png   QT_SCALE_FACTOR=2 on a 1600 x 1000 screen
#   docs/settings-formats.png    the settings pages FLAC, OPUS, M4A, ALAC (2 x 2)
#   docs/format-list.png         the main window's format list, open
# Uses the Release build of scripts/run.sh (BUILD_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
[ -x "$BUILD_DIR/bin/snipwave" ] || { echo "build first: scripts/run.sh" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is needed: scripts/install-deps.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Twenty seconds of a tone that swells and fades, so the picture has a shape.
swell() {  # <amplitude> <file>
  ffmpeg -hide_banner -loglevel error -y -f lavfi \
    -i "aevalsrc=exprs='$1*sin(2*PI*180*t)*(0.15+0.85*abs(sin(PI*t/5)))*(0.6+0.4*sin(2*PI*3*t))':s=44100:d=20" \
    -ac 2 -c:a libmp3lame -b:a 160k "$2"
}
swell 0.8 "$work/Evening swell.mp3"
swell 0.1 "$work/Quiet swell.mp3"

# shot <output> <track> <screen WxH> <fill: yes|no> <crop filter or -> <keys> [environment...]
# The list has the focus at start: the keys move the position and mark.
# A key "ctrlwheel" turns the wheel up five times with Ctrl over the waveform.
shot() {
  local out=$1 track=$2 screen=$3 fill=$4 crop=$5 keys=$6
  shift 6
  rm -f "$work/Snipwave.ini"
  env SNIPWAVE_CONFIG_DIR="$work" SDL_AUDIODRIVER=dummy "$@" \
    xvfb-run -a -s "-screen 0 ${screen}x24" sh -c '
    program=$0 out=$1 track=$2 screen=$3 fill=$4 crop=$5 keys=$6
    "$program" "$track" & pid=$!
    sleep 4
    win=$(xdotool search --sync --name "^Snipwave$" | head -1)
    if [ "$fill" = yes ]; then xdotool windowmove "$win" 0 0 windowsize "$win" ${screen%x*} ${screen#*x}; sleep 1; fi
    xdotool windowfocus --sync "$win"
    for key in $keys; do
      if [ "$key" = ctrlwheel ]; then
        eval $(xdotool getwindowgeometry --shell "$win")
        xdotool mousemove $((X + 300)) $((Y + 380)) keydown ctrl click --repeat 5 --delay 80 4 keyup ctrl
      else
        xdotool key --delay 60 "$key"
      fi
    done
    xdotool mousemove $((${screen%x*} - 1)) $((${screen#*x} - 1))
    sleep 1
    if [ "$crop" = - ]; then filter=null; else filter=$crop; fi
    ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size "$screen" -i "$DISPLAY" -frames:v 1 -vf "$filter" "$out"
    kill $pid' "$BUILD_DIR/bin/snipwave" "$out" "$track" "$screen" "$fill" "$crop" "$keys"
  echo "$out"
}

# 4 s in, set begin, 9.5 s further, set end.
marks="Right Right Right Right b Right Right Right Right Right Right Right Right Right
  shift+Right shift+Right shift+Right shift+Right shift+Right e"
centre="crop=608:588:(1000-608)/2:(700-588)/2"
# `scripts/screenshot.sh formats` takes the last two pictures only.
if [ "${1:-all}" != formats ]; then
shot docs/screenshot.png "$work/Evening swell.mp3" 1000x700 no "$centre" "$marks"
# 4.3 s in, set begin, 2.5 s further, set end, zoom to the range, +15 dB.
shot docs/waveform-range.png "$work/Quiet swell.mp3" 1000x700 no "$centre" \
  "Right Right Right Right shift+Right shift+Right shift+Right b
   Right Right shift+Right shift+Right shift+Right shift+Right shift+Right e Left z ctrlwheel"
shot docs/screenshot-maximised.png "$work/Evening swell.mp3" 1600x1000 yes - "$marks z"
shot docs/screenshot-scale2.png "$work/Evening swell.mp3" 1600x1000 no - "$marks z" QT_SCALE_FACTOR=2
fi

# The settings pages of the formats after OGG and the open format list. No
# window manager runs under xvfb-run, so a window's geometry is its client area.
# The skin places the Settings button at 76,6 (80 x 24) and cm_Format at
# 380,49 (58 x 19).
rm -f "$work/Snipwave.ini"
env SNIPWAVE_CONFIG_DIR="$work" SDL_AUDIODRIVER=dummy \
  xvfb-run -a -s "-screen 0 1000x700x24" sh -c '
  program=$0 work=$1
  grab() {  # <x> <y> <w> <h> <output>
    ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size "$3x$4" -i "$DISPLAY+$1,$2" -frames:v 1 "$5"
  }
  "$program" & pid=$!
  sleep 4
  win=$(xdotool search --sync --name "^Snipwave$" | head -1)
  xdotool windowfocus --sync "$win"
  eval $(xdotool getwindowgeometry --shell "$win")
  mx=$X my=$Y
  xdotool mousemove $((mx + 409)) $((my + 58)) click 1
  sleep 1
  grab $((mx + 370)) $((my + 40)) 120 200 "$work/list.png"
  xdotool key Escape
  sleep 0.5
  xdotool mousemove $((mx + 116)) $((my + 18)) click 1
  set=$(xdotool search --sync --name "^Settings$" | head -1)
  xdotool windowfocus --sync "$set"
  eval $(xdotool getwindowgeometry --shell "$set")
  xdotool mousemove 999 699
  # WAV is in front; Ctrl+Tab four times brings FLAC.
  xdotool key --delay 150 ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab
  for page in flac opus m4a alac; do
    sleep 0.7
    grab "$X" "$Y" "$WIDTH" "$HEIGHT" "$work/page-$page.png"
    xdotool key ctrl+Tab
  done
  kill $pid' "$BUILD_DIR/bin/snipwave" "$work"
ffmpeg -hide_banner -loglevel error -y -i "$work/page-flac.png" -i "$work/page-opus.png" -i "$work/page-m4a.png" \
  -i "$work/page-alac.png" -filter_complex "[0][1]hstack[top];[2][3]hstack[bottom];[top][bottom]vstack" \
  docs/settings-formats.png
cp "$work/list.png" docs/format-list.png
echo docs/settings-formats.png docs/format-list.png
