#!/usr/bin/env bash
# Runs the program's command line over the roads where its threads meet:
# parallel cuts (--jobs 2) of every input kind, chained Ogg, lossless copies
# (MP3 frames, FLAC, Ogg and Opus packets, M4A), joins with a crossfade and
# matched loudness, and peaks. Meant for a ThreadSanitizer build: the caller
# collects the reports (TSAN_OPTIONS log_path); this script fails when a
# command fails.
#
#   scripts/sanitizers/tsan-cli.sh PATH/TO/snipwave
set -euo pipefail
PROGRAM=$(realpath "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
export SNIPWAVE_CONFIG_DIR=$WORK/config
mkdir -p "$SNIPWAVE_CONFIG_DIR" out

sox -R -n -r 44100 -c 2 -b 16 tone.wav synth 8 sine 440 sine 660 gain -3
sox -R -n -r 96000 -c 2 -b 24 hi.wav synth 6 sine 1000 sine 1500 gain -6
oggenc -Q -q -1 -o a.ogg tone.wav
oggenc -Q -q 3 -o b.ogg tone.wav
cat a.ogg b.ogg > chain.ogg
lame --quiet -V0 tone.wav v0.mp3
flac -s -f -o hi.flac hi.wav
opusenc --quiet tone.wav tone.opus
ffmpeg -hide_banner -loglevel error -y -i tone.wav -c:a aac -b:a 128k tone.m4a

run() {
  echo "== snipwave $*" >&2
  "$PROGRAM" "$@" >/dev/null
}
run probe chain.ogg
run peaks chain.ogg >/dev/null
run cut --jobs 2 --format wav --out out/plain tone.wav@1000:200000 v0.mp3@5000:300000 chain.ogg@300000:400000 \
  hi.flac@0:100000 tone.opus@100:90000 tone.m4a@4000:200000
run cut --jobs 2 --format ogg --out out/chain chain.ogg@0:5001 chain.ogg@340000:350000 "chain.ogg@$((2 * 352800 - 5001)):"
run cut --jobs 2 --lossless --format mp3 --out out/mp3 v0.mp3@1000:100000 v0.mp3@100000:300000
run cut --jobs 2 --lossless --format flac --out out/flac hi.flac@1000:200000 hi.flac@200000:500000
run cut --jobs 2 --lossless --format ogg --out out/ogg chain.ogg@10000:200000 b.ogg@1000:300000
run cut --jobs 2 --lossless --format opus --out out/opus tone.opus@1000:200000 tone.opus@200000:
run cut --jobs 2 --lossless --format m4a --out out/m4a tone.m4a@1000:200000 tone.m4a@200000:
run join --yes --format flac --crossfade 200 --loudness -20 --out out/joined.flac tone.wav@0:100000 chain.ogg@100000:400000 \
  v0.mp3@1000:80000
run join --yes --lossless --format mp3 --out out/joined.mp3 v0.mp3@0:100000 v0.mp3@200000:300000
echo "== all commands ran" >&2
