#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in their own build folder, then runs each for a
# while over the seed corpus in fuzz/corpus/<target>.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: skin settings audio mp3copy mp4copy oggcopy flaccopy cue labels listfile (default: all)
#
# SECONDS per target defaults to 60. New interesting inputs collect in
# $BUILD_DIR/corpus/<target> (kept between runs, never in the repository); a
# crash, leak, hang or sanitizer report leaves its input in
# $BUILD_DIR/artifacts/<target>/ and makes this script fail. Replay one with
#   $BUILD_DIR/bin/fuzz_<target> $BUILD_DIR/artifacts/<target>/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-$(nproc)}
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(skin settings audio mp3copy mp4copy oggcopy flaccopy cue labels listfile)

# -O1 -g1: the sanitizers see the same code, and the build takes about half as long.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DSNIPWAVE_FUZZ=ON -DSNIPWAVE_SANITIZE=address,undefined >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target $(printf 'fuzz_%s ' "${TARGETS[@]}")

export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
# The targets write every input to a scratch file (the settings store also
# syncs each write); memory-backed storage keeps that from dominating the run.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# Longest input per target: audio stays small enough for the reader's scan
# cache to hash the whole file, so a rewrite of the input is never mistaken
# for the previous one.
declare -A MAX_LEN=([skin]=16384 [settings]=4096 [audio]=8192 [mp3copy]=16384 [mp4copy]=16384 [oggcopy]=8192 [flaccopy]=16384 [cue]=4096 [labels]=4096 [listfile]=16384)

status=0
for target in "${TARGETS[@]}"; do
  corpus=$BUILD_DIR/corpus/$target
  artifacts=$BUILD_DIR/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  echo "== fuzz_$target for ${SECONDS_EACH}s" >&2
  if ! "$BUILD_DIR/bin/fuzz_$target" "$corpus" "fuzz/corpus/$target" \
      -max_total_time="$SECONDS_EACH" -max_len="${MAX_LEN[$target]:-8192}" -timeout=30 -rss_limit_mb=2048 \
      -artifact_prefix="$artifacts/" -print_final_stats=1 2>"$BUILD_DIR/fuzz_$target.log"; then
    tail -n 60 "$BUILD_DIR/fuzz_$target.log" >&2
    echo "fuzz_$target FAILED; inputs in $artifacts" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+[[:space:]]+DONE' "$BUILD_DIR/fuzz_$target.log" >&2 || true
  fi
done
exit $status
