#!/usr/bin/env bash
# Builds everything and runs every test; then builds the engine with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs its tests again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
ctest --test-dir build --output-on-failure -j "$(nproc)"

cmake -S . -B build-sanitize -DSANITIZE=ON -DTARVEL_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-sanitize -j "$(nproc)"
ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)" -L engine
