#!/usr/bin/env bash
# Builds Tarvel For Draw and repairs the damaged sample drawings in examples/ into ./repaired/,
# printing the repair log. When a display is there ($DISPLAY or $WAYLAND_DISPLAY), it then starts
# the desktop program in the background from its own folder, where its help lies.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p repaired
status=0
build/cli/tarvel-draw -o repaired examples/*.odg || status=$?
echo "Repaired drawings are in $(pwd)/repaired/"

gui=build/ui/tarvel-draw-gui
if [[ -x $gui ]]; then
    if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
        (cd build/ui && nohup ./tarvel-draw-gui >/dev/null 2>&1 &)
        echo "Started the desktop program ($gui); it keeps running after this script ends."
    else
        echo "No display here. To start the desktop program: (cd build/ui && ./tarvel-draw-gui)"
    fi
fi
# A file that could not be saved is reported above; only a usage error fails this script.
[[ $status -ge 2 ]] && exit "$status"
exit 0
