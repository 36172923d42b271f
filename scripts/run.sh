#!/usr/bin/env bash
# Installs what is missing, builds a Release and starts Snipwave.
# Arguments are passed to the program (e.g. "probe FILE...").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSNIPWAVE_BUILD_TESTS=OFF -DSNIPWAVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
exec "$BUILD_DIR/bin/snipwave" "$@"
