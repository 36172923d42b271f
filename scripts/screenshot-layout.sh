#!/usr/bin/env bash
# Takes docs/screenshot-maximised.png (the window filling a 1600 x 1000
# screen, the waveform tall, zoomed to the marked range (Z) with the exact
# readout above it) and docs/screenshot-scale2.png (QT_SCALE_FACTOR=2
# on a 1600 x 1000 screen: the whole window on it) from the real program on a
# virtual X display. Uses the build of scripts/run.sh (BUILD_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
[ -x "$BUILD_DIR/bin/snipwave" ] || { echo "build first: scripts/run.sh" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is needed: scripts/install-deps.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=exprs='0.8*sin(2*PI*180*t)*(0.15+0.85*abs(sin(PI*t/5)))*(0.6+0.4*sin(2*PI*3*t))':s=44100:d=20" \
  -ac 2 -c:a libmp3lame -b:a 160k "$work/Evening swell.mp3"
# shot <output> <resize: yes|no> [environment...]
shot() {
  local out=$1 fill=$2
  shift 2
  env SNIPWAVE_CONFIG_DIR="$work" SDL_AUDIODRIVER=dummy "$@" xvfb-run -a -s "-screen 0 1600x1000x24" sh -c '
    "$0" "$3" & pid=$!
    sleep 4
    win=$(xdotool search --sync --name "^Snipwave$" | head -1)
    if [ "$2" = yes ]; then xdotool windowmove "$win" 0 0 windowsize "$win" 1600 1000; sleep 1; fi
    xdotool windowfocus --sync "$win"
    xdotool key --delay 60 Right Right Right Right b Right Right Right Right Right Right Right Right Right \
      shift+Right shift+Right shift+Right shift+Right shift+Right e z
    xdotool mousemove 1599 999
    sleep 1
    ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size 1600x1000 -i "$DISPLAY" -frames:v 1 "$1"
    kill $pid' "$BUILD_DIR/bin/snipwave" "$out" "$fill" "$work/Evening swell.mp3"
}
shot docs/screenshot-maximised.png yes
rm -f "$work/Snipwave.ini"
shot docs/screenshot-scale2.png no QT_SCALE_FACTOR=2
echo docs/screenshot-maximised.png docs/screenshot-scale2.png
