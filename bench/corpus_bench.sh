#!/usr/bin/env bash
# Repairs the shared damaged drawings with tarvel-draw, with Info-ZIP's `zip -FF` and with no
# repair at all, has LibreOffice judge every result, and writes the side-by-side table to
# bench/RESULTS.md (raw results in bench/results/).
#   bench/corpus_bench.sh [CORPUS_DIR [TOOL...]]   (default: ../shared/corpus; all three tools)
# Naming tools (tarvel, zipFF, norepair) runs only those and compares with the saved results
# of the others.
# The corpus is copied to a temp folder; its two big originals and their damaged copies are
# made there by its own scripts (about a minute). Judging takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
corpus=$(cd "${1:-$repo/../shared/corpus}" && pwd)
shift $(($# > 0 ? 1 : 0))
tools=("${@:-tarvel zipFF norepair}")
tools=(${tools[*]})
tool="$repo/build/cli/tarvel-draw"
[[ -x "$tool" ]] || { echo "build tarvel-draw first (scripts/setup.sh)"; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$corpus" "$work/corpus"
chmod -R u+w "$work/corpus"
cd "$work/corpus"
if [[ ! -f originals/pictures.odg || ! -f originals/large.odg ]]; then
    python3 make_corpus.py --only pictures large >/dev/null
fi
python3 damage.py originals/pictures.odg originals/large.odg damaged --seed 1 >/dev/null

mkdir -p "$here/results"
run() { # name template
    python3 run_bench.py --tool "$2" --name "$1" --damaged damaged --out "$here/results/$1.json" \
        --jobs 2 >"$work/$1.log"
    tail -n 25 "$work/$1.log"
}
for name in "${tools[@]}"; do
    case "$name" in
    tarvel) run tarvel "'$tool' -o {outdir} {input}" ;;
    zipFF) run zipFF 'echo y | timeout 60 zip -FF {input} --out {outdir}/out.odg' ;;
    norepair) run norepair 'cp {input} {outdir}/out.odg' ;;
    *) echo "unknown tool $name"; exit 2 ;;
    esac
done
python3 run_bench.py --compare "$here/results/tarvel.json" "$here/results/zipFF.json" \
    "$here/results/norepair.json" --md "$here/RESULTS.md"
echo "Table written to $here/RESULTS.md"
