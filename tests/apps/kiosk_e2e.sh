#!/usr/bin/env bash
# The host program end to end on a fresh SQLite store: it looks the consumer up,
# loads the module, calls its entry and saves an 800 x 600 picture of the screen.
# An unknown consumer is refused with a clear message; a store that is not there
# is named and never created; help works without a configuration or a display.
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

# A store file that does not exist is named, not created empty.
for args in "--consumer 000000000000101" "--demo"; do
    status=0
    out=$(KIOSK_DB="Provider=SQLITE;Data Source=$work/missing/store.db" KIOSK_DATA_DIR="$work/missing" \
        "$bin/kiosk" $args 2>&1) || status=$?
    [[ $status == 2 ]] || { echo "kiosk $args on a missing store exited with $status"; exit 1; }
    grep -qF "the store $work/missing/store.db does not exist; create it with kioskctl init-db" <<<"$out" \
        || { echo "$out"; exit 1; }
    [[ ! -e "$work/missing/store.db" ]]
done
# A demo store without tables is named with the command that repairs it.
: > "$work/empty.db"
if out=$(KIOSK_DB="Provider=SQLITE;Data Source=$work/empty.db" "$bin/kiosk" --demo 2>&1); then
    echo "the kiosk opened an empty store"; exit 1
fi
grep -q "the demo store is incomplete: ./demo.sh repairs it" <<<"$out" || { echo "$out"; exit 1; }

# Help needs no configuration and no display, and names both.
for program in kiosk kioskctl; do
    help=$(env -u DISPLAY -u QT_QPA_PLATFORM KIOSK_CONFIG="$work/no-such.conf" "$bin/$program" --help)
    for word in KIOSK_CONFIG KIOSK_DB KIOSK_LOCALE kiosk.conf; do
        grep -q "$word" <<<"$help" || { echo "$program --help does not mention $word"; exit 1; }
    done
done
echo "kiosk ok"
