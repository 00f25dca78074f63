#!/usr/bin/env bash
# Compiles "Tarvel For Draw.chm" from the HTML help with chmcmd (Debian package fp-utils) and
# keeps the compiled copy in this folder for machines without chmcmd. Builds that find chmcmd
# compile their own copy; run this after changing the help so that the kept copy matches.
# The contents file (.hhc) lists the sections of the HTML by their ids; keep it in step.
set -euo pipefail
cd "$(dirname "$0")"
chmcmd --no-html-scan "Tarvel For Draw.hhp" >/dev/null
echo "Wrote $(pwd)/Tarvel For Draw.chm"
