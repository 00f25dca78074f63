#!/usr/bin/env bash
# Builds Tarvel For Draw and repairs the damaged sample drawings in examples/ into ./repaired/,
# printing the repair log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p repaired
status=0
build/cli/tarvel-draw -o repaired examples/*.odg || status=$?
echo "Repaired drawings are in $(pwd)/repaired/"
# A file that could not be saved is reported above; only a usage error fails this script.
[[ $status -ge 2 ]] && exit "$status"
exit 0
