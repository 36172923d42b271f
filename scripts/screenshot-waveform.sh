#!/usr/bin/env bash
# Takes docs/waveform-range.png from the real program on a virtual X display:
# a quiet track (about -20 dBFS) with a range marked by the keys, zoomed to
# that range (Z) and lifted by the vertical zoom (Ctrl+wheel), so the picture
# shows the range filling the waveform and the exact readout above it.
# Uses the Release build of scripts/run.sh (BUILD_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
[ -x "$BUILD_DIR/bin/snipwave" ] || { echo "build first: scripts/run.sh" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is needed: scripts/install-deps.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=exprs='0.1*sin(2*PI*180*t)*(0.15+0.85*abs(sin(PI*t/5)))*(0.6+0.4*sin(2*PI*3*t))':s=44100:d=20" \
  -ac 2 -c:a libmp3lame -b:a 160k "$work/Quiet swell.mp3"
SNIPWAVE_CONFIG_DIR=$work SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1000x700x24" sh -c '
  "$0" "$1" & pid=$!
  sleep 4
  win=$(xdotool search --sync --name "^Snipwave$" | head -1)
  xdotool windowfocus --sync "$win"
  # The list has the focus: 4.3 s in, set begin, 2.5 s further, set end, zoom to the range.
  xdotool key --delay 60 Right Right Right Right shift+Right shift+Right shift+Right b \
    Right Right shift+Right shift+Right shift+Right shift+Right shift+Right e Left z
  # Ctrl+wheel over the waveform: +15 dB.
  eval $(xdotool getwindowgeometry --shell "$win")
  xdotool mousemove $((X + 300)) $((Y + 380)) keydown ctrl click --repeat 5 --delay 80 4 keyup ctrl
  xdotool mousemove 999 699
  sleep 1
  ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size 1000x700 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=608:588:(1000-608)/2:(700-588)/2" docs/waveform-range.png
  kill $pid' "$BUILD_DIR/bin/snipwave" "$work/Quiet swell.mp3"
echo docs/waveform-range.png
