#!/usr/bin/env bash
# Cuts the last 5001 frames of chained Ogg Vorbis files again and again while a
# second process loads the machine, and fails unless every output is the same
# byte for byte and within one 16-bit step of oggdec's decode of the range.
# Files: two links (oggenc -q -1 then -q 3 of the same 7.8 s of stereo), the
# same two the other way round, and three links (-q -1, -q 3, -q 6).
#
#   scripts/repeat-chain-cut.sh PATH/TO/snipwave [REPEATS]   (default 200 each)
set -euo pipefail
PROGRAM=$(realpath "$1")
REPEATS=${2:-200}
WORK=$(mktemp -d)
LOAD=
cleanup() {
  [ -z "$LOAD" ] || kill "$LOAD" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
cd "$WORK"
export SNIPWAVE_CONFIG_DIR=$WORK/config
mkdir -p config

sox -R -n -r 44100 -c 2 -b 16 signal.wav synth 7.7770294 sine 440 sine 660 gain -3
oggenc -Q -q -1 -o low.ogg signal.wav
oggenc -Q -q 3 -o mid.ogg signal.wav
oggenc -Q -q 6 -o high.ogg signal.wav
cat low.ogg mid.ogg > chain2.ogg
cat mid.ogg low.ogg > chain2r.ogg
cat low.ogg mid.ogg high.ogg > chain3.ogg

# The load: the same program cutting the whole of another chained file, over and over.
(while :; do "$PROGRAM" cut --jobs 2 --format wav --out load chain3.ogg chain2.ogg >/dev/null 2>&1; rm -rf load; done) &
LOAD=$!

failures=0
for chain in chain2 chain2r chain3; do
  oggdec -Q -o "$chain.ref.wav" "$chain.ogg"
  length=$(soxi -s "$chain.ref.wav")
  begin=$((length - 5001))
  sox "$chain.ref.wav" -t raw "$chain.ref.raw" trim "${begin}s" 5001s
  first=
  for i in $(seq "$REPEATS"); do
    rm -rf out
    if ! "$PROGRAM" cut --format wav --out out "$chain.ogg@$begin:$length" >/dev/null 2>err.txt; then
      echo "$chain, run $i: the cut failed: $(cat err.txt)" >&2
      failures=$((failures + 1))
      continue
    fi
    output=out/Cut_$chain.wav
    sum=$(sha256sum <"$output")
    if [ -z "$first" ]; then
      first=$sum
      # Against oggdec: at most one 16-bit step apart (each side rounds once).
      peak=$(sox -m -v 1 "$output" -v -1 -t raw -r 44100 -c 2 -e signed -b 16 "$chain.ref.raw" -n stat 2>&1 |
        awk '/Maximum amplitude/ { print $3 }')
      frames=$(soxi -s "$output")
      if [ "$frames" != 5001 ] || awk -v p="$peak" 'BEGIN { exit !(p > 0.000045) }'; then
        echo "$chain: $frames frames, $peak from oggdec's samples" >&2
        failures=$((failures + 1))
      fi
    elif [ "$sum" != "$first" ]; then
      echo "$chain, run $i: the output differs from the first run's" >&2
      cp "$output" "$OLDPWD/differing-$chain-$i.wav" 2>/dev/null || true
      failures=$((failures + 1))
    fi
  done
  echo "$chain: $REPEATS cuts of [$begin, $length) done" >&2
done
[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "every cut the same and exact" >&2
