#!/usr/bin/env bash
# Builds the test suite with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in its own build folder and runs it. Any sanitizer
# report fails: the test that caught it fails, and so does this script when a
# report was written by any process (the program run as a child included).
# Extra arguments go to ctest (e.g. -R Skin).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build-sanitize}
JOBS=${JOBS:-$(nproc)}
# -O1 -g1: the sanitizers see the same code, and the build takes about half as long.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DSNIPWAVE_SANITIZE=address,undefined -DSNIPWAVE_BUILD_TESTS=ON -DSNIPWAVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"

REPORTS=$ROOT/$BUILD_DIR/sanitizer-reports
rm -rf "$REPORTS" && mkdir -p "$REPORTS"
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
if compgen -G "$REPORTS/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  for report in "$REPORTS"/*; do
    echo "== $report" >&2
    cat "$report" >&2
  done
  status=1
fi
exit $status
