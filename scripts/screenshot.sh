#!/usr/bin/env bash
# Takes docs/screenshot.png from the real program on a virtual X display:
# a track given on the command line, a range marked with the keys, so the
# waveform shows its shaded range and handles.
# Uses the Release build of scripts/run.sh (BUILD_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
[ -x "$BUILD_DIR/bin/snipwave" ] || { echo "build first: scripts/run.sh" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is needed: scripts/install-deps.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Twenty seconds of a tone that swells and fades, so the picture has a shape.
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=exprs='0.8*sin(2*PI*180*t)*(0.15+0.85*abs(sin(PI*t/5)))*(0.6+0.4*sin(2*PI*3*t))':s=44100:d=20" \
  -ac 2 -c:a libmp3lame -b:a 160k "$work/Evening swell.mp3"
SNIPWAVE_CONFIG_DIR=$work SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1000x700x24" sh -c '
  "$0" "$1" & pid=$!
  sleep 4
  win=$(xdotool search --sync --name "^Snipwave$" | head -1)
  xdotool windowfocus --sync "$win"
  # The list has the focus: move 4 s in, set begin, 9.5 s further, set end.
  xdotool key --delay 60 Right Right Right Right b Right Right Right Right Right Right Right Right Right \
    shift+Right shift+Right shift+Right shift+Right shift+Right e
  xdotool mousemove 999 699
  sleep 1
  ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size 1000x700 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=608:588:(1000-608)/2:(700-588)/2" docs/screenshot.png
  kill $pid' "$BUILD_DIR/bin/snipwave" "$work/Evening swell.mp3"
echo docs/screenshot.png
