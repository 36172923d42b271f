#!/usr/bin/env bash
# Builds the test suite with sanitizers in its own build folder and runs it.
#
#   scripts/sanitize.sh [ctest args]          AddressSanitizer, LeakSanitizer and
#                                             UndefinedBehaviorSanitizer (build-sanitize/)
#   scripts/sanitize.sh thread [ctest args]   ThreadSanitizer (build-tsan/): the suite, then
#                                             scripts/sanitizers/tsan-cli.sh (cuts, joins,
#                                             lossless copies and peaks run as the user runs them)
#
# Any sanitizer report fails: the test that caught it fails, and so does this
# script when a report was written by any process (the program run as a child
# included). Extra arguments go to ctest (e.g. -R Skin).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
ROOT=$PWD
MODE=address
if [ "${1:-}" = thread ]; then
  MODE=thread
  shift
fi
if [ "$MODE" = thread ]; then
  BUILD_DIR=${BUILD_DIR:-build-tsan}
  SANITIZERS=thread
else
  BUILD_DIR=${BUILD_DIR:-build-sanitize}
  SANITIZERS=address,undefined
fi
JOBS=${JOBS:-$(nproc)}
# -O1 -g1: the sanitizers see the same code, and the build takes about half as long.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DSNIPWAVE_SANITIZE=$SANITIZERS -DSNIPWAVE_BUILD_TESTS=ON -DSNIPWAVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"

REPORTS=$ROOT/$BUILD_DIR/sanitizer-reports
rm -rf "$REPORTS" && mkdir -p "$REPORTS"
# Every report of ThreadSanitizer goes to a file and fails the process that
# made it (exit 66). Its suppressions name system libraries only, each with
# its reason; a race in our own code is mended, never suppressed. A test whose
# process already runs threads may fork a child that starts threads of its own.
export TSAN_OPTIONS="suppressions=$ROOT/scripts/sanitizers/tsan.supp:log_path=$REPORTS/tsan:second_deadlock_stack=1:print_suppressions=0:die_after_fork=0"
# Address and leak reports go to files as well as failing the process, so a
# report from a child process whose exit status a test does not look at still
# counts. GCC's UBSan next to ASan ignores log_path; its first report aborts
# the process instead, which no test takes for an ordinary exit status.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:log_path=$REPORTS/asan"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
status=0
ctest --test-dir "$BUILD_DIR" -j "$JOBS" --output-on-failure --timeout 900 "$@" || status=$?
if [ "$MODE" = thread ]; then
  scripts/sanitizers/tsan-cli.sh "$BUILD_DIR/bin/snipwave" || status=$?
fi
if compgen -G "$REPORTS/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  for report in "$REPORTS"/*; do
    echo "== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit $status
