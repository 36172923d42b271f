#!/usr/bin/env bash
# Takes docs/screenshot.png from the real program on a virtual X display.
# Uses the Release build of scripts/run.sh (BUILD_DIR to change it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-release}
[ -x "$BUILD_DIR/bin/snipwave" ] || { echo "build first: scripts/run.sh" >&2; exit 1; }
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
SNIPWAVE_CONFIG_DIR=$config SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1000x700x24" sh -c '
  "$0" & pid=$!
  sleep 4
  ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size 1000x700 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=608:496:(1000-608)/2:(700-496)/2" docs/screenshot.png
  kill $pid' "$BUILD_DIR/bin/snipwave"
echo docs/screenshot.png
