#!/usr/bin/env bash
# Takes the pictures in docs/ from the real program on a virtual X display,
# each with a track given on the command line and a range marked with keys:
#   docs/screenshot.png          the window at its designed size
#   docs/waveform-range.png      a quiet track zoomed to its range (Z), +15 dB
#   docs/screenshot-maximised.png  the window filling a 1600 x 1000 screen,
#                                the waveform tall and zoomed to its range
#   docs/screenshot-scale2.png   QT_SCALE_FACTOR=2 on a 1600 x 1000 screen
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
shot docs/screenshot.png "$work/Evening swell.mp3" 1000x700 no "$centre" "$marks"
# 4.3 s in, set begin, 2.5 s further, set end, zoom to the range, +15 dB.
shot docs/waveform-range.png "$work/Quiet swell.mp3" 1000x700 no "$centre" \
  "Right Right Right Right shift+Right shift+Right shift+Right b
   Right Right shift+Right shift+Right shift+Right shift+Right shift+Right e Left z ctrlwheel"
shot docs/screenshot-maximised.png "$work/Evening swell.mp3" 1600x1000 yes - "$marks z"
shot docs/screenshot-scale2.png "$work/Evening swell.mp3" 1600x1000 no - "$marks z" QT_SCALE_FACTOR=2
