#!/usr/bin/env bash
# A check script on the demo consumer's screen: `kiosk --script` presses a family,
# pages the menu, types an amount and corrects it, then saves the screen; a
# wrong expectation is reported with its line and a non-zero exit.
set -euo pipefail
bin=$1 script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db" KIOSK_DATA_DIR="$work"
"$bin/kioskctl" init-db
"$bin/kioskctl" demo-data
"$bin/kioskctl" demo-files "$work"

"$bin/kiosk" --demo --consumer 000000000000101 --script "$script" --screenshot "$work/after.png"
[[ -s "$work/after.png" ]]

printf 'expect lblVrTotSalCons 157,50\nexpect lblVrSaldo 9,99\nclick dxbTeclado1\n' > "$work/wrong.kscript"
if out=$("$bin/kiosk" --demo --consumer 000000000000101 --script "$work/wrong.kscript" 2>&1); then
    echo "a wrong expectation passed"; exit 1
fi
grep -qF "$work/wrong.kscript, line 2: expect lblVrSaldo 9,99: caption is \"0,00\"" <<<"$out" || { echo "$out"; exit 1; }
# No core dumps: the kiosk may hold card data. Its limit is read while it waits for its script
# on a FIFO, started with core dumps allowed.
mkfifo "$work/script.fifo"
(ulimit -c unlimited; exec "$bin/kiosk" --demo --script "$work/script.fifo") >/dev/null 2>&1 &
pid=$!
exec 3>"$work/script.fifo" # returns once the kiosk has opened it
core=$(awk '/^Max core file size/ {print $5}' "/proc/$pid/limits")
exec 3>&-
wait "$pid" || true
[[ $core == 0 ]] || { echo "the kiosk may leave a core dump (limit $core)"; exit 1; }
echo "kiosk script ok"
