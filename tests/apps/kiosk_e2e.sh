#!/usr/bin/env bash
# The host program end to end on a fresh SQLite store: it looks the consumer up,
# loads the module, calls its entry and saves an 800 x 600 picture of the screen.
# An unknown consumer is refused with a clear message.
set -euo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db" KIOSK_DATA_DIR="$work"
"$bin/kioskctl" init-db
"$bin/kioskctl" demo-data
"$bin/kioskctl" demo-files "$work"
"$bin/kiosk" --consumer 000000000000102 --screenshot "$work/screen.png"
read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$work/screen.png")
width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 )) height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
[[ $width == 800 && $height == 600 ]] || { echo "screenshot is ${width}x${height}"; exit 1; }

if out=$("$bin/kiosk" --consumer 999 --screenshot "$work/none.png" 2>&1); then
    echo "an unknown consumer opened the screen"; exit 1
fi
grep -q "consumer 999 is not in the store" <<<"$out"
[[ ! -e "$work/none.png" ]]
echo "kiosk ok"
