#!/bin/sh
# Runs the scan benchmark at two file sizes; the peak memory should be the same for both.
# Usage: bench/scan_bench.sh [BUILD_DIR]   (default: build)
set -e
build=${1:-build}
for size in 200 400; do
    "$build/bench/scan_bench" "$size"
    echo
done
