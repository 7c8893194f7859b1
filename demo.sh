#!/usr/bin/env bash
# Installs what is missing, builds, creates the SQLite demo store and the kiosk's
# two local files in ./demo-data, and opens the kiosk's home screen with the demo
# consumers' codes listed: type one (or click the keypad) and OK, recharge, and the
# screen comes back home for the next consumer. Without a display it runs under
# Xvfb and saves a screenshot of the home screen instead.
#   ./demo.sh --reset   starts the demo afresh: store, local files, purchase journal,
#                       terminal transactions, receipts and printer counters.
# A purchase works by touch: the card terminal is our stand-in card-payment library
# (build/bin/libclisitef-standin.so, loaded as a provider's library would be), which
# approves after 1.5 s (the card holder at the terminal); the receipts, ours and the
# card payment's, go to demo-data/receipts.txt;
# demo-data/kiosk.conf holds these settings (environment variables override them,
# for one: KIOSK_TERMINAL_MODE=decline ./demo.sh).
# Run again, it repairs a demo-data left half-made: a store that is missing,
# empty or without the demo branch is built afresh (the old file is kept as
# store.db.broken), and the two local files are written again.
set -euo pipefail
cd "$(dirname "$0")"
reset=false
for arg in "$@"; do
    case $arg in
    --reset) reset=true ;;
    -h | --help)
        sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "demo.sh: unknown option $arg (--reset starts the demo afresh)" >&2
        exit 2
        ;;
    esac
done
# Only what the demo needs; the same build settings as ./test.sh, so that neither
# rebuilds what the other built.
scripts/install-deps.sh --demo xvfb xauth
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
cmake --build build --target kiosk kioskctl Pkg_kvb52814 clisitef-standin

data="$PWD/demo-data"
store="$data/store.db"
if $reset && [[ -d $data ]]; then
    echo "demo-data: starting afresh"
    rm -rf "$data"
fi
export KIOSK_DATA_DIR="$data"
export KIOSK_DB="Provider=SQLITE;Data Source=$store"
mkdir -p "$data"

# The demo store is whole when the demo consumer's balances can be read from it.
demo_store_whole() {
    [[ -s "$store" ]] &&
        build/bin/kioskctl balances 0001 000000000000001 000000000000101 2>/dev/null | grep -q '"Lanche"'
}
if ! demo_store_whole; then
    if [[ -e "$store" ]]; then
        echo "demo-data/store.db is incomplete: building it afresh (the old one is kept as store.db.broken)"
        for suffix in "" -wal -shm -journal; do
            if [[ -e "$store$suffix" ]]; then mv -f "$store$suffix" "$data/store.db.broken$suffix"; fi
        done
    fi
    build/bin/kioskctl init-db
    build/bin/kioskctl demo-data
fi
build/bin/kioskctl demo-files "$data"

# The demo kiosk's configuration, written afresh on every run.
config="$data/kiosk.conf"
cat >"$config" <<CONF
# Written by ./demo.sh on every run; copy it elsewhere to keep changes.
[database]
connection = Provider=SQLITE;Data Source=$store
[kiosk]
dataFolder = $data
locale = pt_BR
[terminal]
# The demo's card-payment library: our stand-in, which charges no card
library = $PWD/build/bin/libclisitef-standin.so
store = 00000000
terminal = KS000001
# How the stand-in answers: approve | decline | fail; the card holder takes delayMs
mode = approve
delayMs = 1500
bankCode = 001
cardNumber = 4111111111111111
[printer]
# every receipt, whatever printer port PARAMETROSZEL.CDS names
port = $data/receipts.txt
CONF
export KIOSK_CONFIG="$config"
echo "Purchases: the stand-in card-payment library approves after 1.5 s; receipts go to demo-data/receipts.txt;"
echo "its transactions: build/bin/kioskctl --config demo-data/kiosk.conf terminal"

echo "Demo consumers: 000000000000101 (Maria), 000000000000102 (João), 000000000000103 (Ana);"
echo "the kiosk runs until you close it (Ctrl+C here). ./demo.sh --reset starts afresh."

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec build/bin/kiosk --demo
fi
shot="$data/kiosk-screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/kiosk --demo --screenshot "$shot"
echo "No display: the kiosk ran under Xvfb; screenshot of the home screen saved to $shot"
