#!/usr/bin/env bash
# kioskctl on a fresh store: create, load the demo branch, read balances, record
# a credit and see it in the balance; a bad packet fails with its text.
set -euo pipefail
kioskctl=$1 engine=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ $engine == SQLITE ]]; then
    export KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db"
else
    db="kiosk_e2e_$$"
    "$KIOSK_PG_BIN/psql" -h 127.0.0.1 -p "$KIOSK_PG_PORT" -U postgres -qc "CREATE DATABASE $db" postgres
    trap '"$KIOSK_PG_BIN/psql" -h 127.0.0.1 -p "$KIOSK_PG_PORT" -U postgres -qc "DROP DATABASE IF EXISTS $db WITH (FORCE)" postgres; rm -rf "$work"' EXIT
    export KIOSK_DB="${KIOSK_TEST_PG/Database=postgres/Database=$db}"
fi
# A command-line tool: no widget or GUI library is loaded with it.
if ldd "$kioskctl" | grep -qiE 'libQt6(Widgets|Gui)'; then
    echo "kioskctl links a GUI library:"; ldd "$kioskctl" | grep -iE 'libQt6(Widgets|Gui)'; exit 1
fi
"$kioskctl" init-db
"$kioskctl" demo-data
"$kioskctl" balances 0001 000000000000001 000000000000101 > "$work/before.json"
grep -q '"Refeição"' "$work/before.json"
grep -q '157.5' "$work/before.json"   # total of the demo consumer

cat > "$work/packet.json" <<'JSON'
{"format":"kiosk-datapacket","version":1,
 "fields":[{"name":"NRORDTROCO","type":"string","size":3},{"name":"DTHRINCMOV","type":"datetime"},
           {"name":"VRMOVIVEND","type":"float"},{"name":"IDTIPOMOVIVE","type":"string","size":1},
           {"name":"CDTIPORECE","type":"string","size":3},{"name":"DTMOVIMCAIXA","type":"date"},
           {"name":"NRCARTBANCO","type":"string","size":10},{"name":"CDNSUHOSTTEF","type":"string","size":50},
           {"name":"DSMOVIVEND","type":"string","size":250},{"name":"DTDEPCHEQVEN","type":"datetime"},
           {"name":"CDAGECHEQVEN","type":"string","size":5},{"name":"CDBANCHEQVEN","type":"string","size":3},
           {"name":"CDCNTCHEQVEN","type":"string","size":16},{"name":"NRCHEQUEVEND","type":"string","size":6},
           {"name":"VRMOVIVEOUT","type":"float"},{"name":"VRCOTINDOUT","type":"float"}],
 "rows":[["", "2026-12-08 10:00:00.000", 20.0, "E", "010", "2026-12-08", "****4242", "NSU1",
          null, null, null, null, null, null, null, null]]}
JSON
"$kioskctl" record "$work/packet.json" 0001 001 000000000000001 000000000000101 001 2612081000 000777 000010 BE01 \
    2026-12-01T06:00:00 2026-12-08
"$kioskctl" balances 0001 000000000000001 000000000000101 > "$work/after.json"
grep -q '177.5' "$work/after.json"
"$kioskctl" evolve 000000000000001 000000000000101 0001 2026-01-01

echo '{"format":"kiosk-datapacket","fields":[{"name":"VRMOVIVEND","type":"float"}],"rows":[[1]]}' > "$work/bad.json"
if out=$("$kioskctl" record "$work/bad.json" 0001 001 C K 001 x "" "" "" 2026-12-01 2026-12-08); then
    echo "a packet without NRORDTROCO was accepted"; exit 1
fi
grep -q NRORDTROCO <<<"$out"
# The credit of NSU1 was never paid: reversed once, back to the balance before it; a second time refused.
"$kioskctl" demo-files "$work/data"
"$kioskctl" recover --reverse NSU1 "$work/data" > "$work/reverse.txt"
grep -q '^reversed: credit of NSU NSU1 of 2026-12-08 on till 001: .*family 001, amount 20.00' "$work/reverse.txt"
"$kioskctl" balances 0001 000000000000001 000000000000101 > "$work/reversed.json"
grep -q '157.5' "$work/reversed.json"
if "$kioskctl" recover --reverse NSU1 "$work/data" > "$work/again.txt"; then
    echo "a credit was reversed twice"; exit 1
fi
grep -q 'already reversed' "$work/again.txt"

# No core dumps: kioskctl may hold card data. Its limit is read while it waits for its packet
# on a FIFO, started with core dumps allowed.
mkfifo "$work/packet.fifo"
(ulimit -c unlimited; exec "$kioskctl" record "$work/packet.fifo" 0001 001 C K 001 x "" "" "" 2026-12-01 2026-12-08) \
    >/dev/null 2>&1 &
pid=$!
exec 3>"$work/packet.fifo" # returns once kioskctl has opened it
core=$(awk '/^Max core file size/ {print $5}' "/proc/$pid/limits")
exec 3>&-
wait "$pid" || true
[[ $core == 0 ]] || { echo "kioskctl may leave a core dump (limit $core)"; exit 1; }
# status: healthy on a kiosk folder with a store, a terminal and a printer that
# answer; degraded when the terminal or the printer does not; down without a store.
data="$work/status-data"
mkdir -p "$data"
"$kioskctl" demo-files "$data"
export KIOSK_PRINTER_PORT="$data/receipts.txt"
status_of() {
    local s=0
    "$kioskctl" status "$@" >"$work/status.out" 2>&1 || s=$?
    echo "$s"
}
expect_status() {
    local want=$1 word=$2
    shift 2
    local got
    got=$(status_of "$@")
    [[ $got == "$want" ]] || { cat "$work/status.out"; echo "status $* exited $got, not $want"; exit 1; }
    grep -q "$word" "$work/status.out" || { cat "$work/status.out"; echo "status $*: no $word"; exit 1; }
}
expect_status 0 '^kiosk: healthy' "$data"
grep -q '^store     ok (' "$work/status.out"
expect_status 0 '"status":"healthy"' --json "$data"
grep -q '"journal":{"bytes":0,"open":0,"purchases":0}' "$work/status.out" || { cat "$work/status.out"; exit 1; }
KIOSK_TERMINAL_LIBRARY="$work/no-such-library.so" expect_status 1 '"status":"degraded"' --json "$data"
grep -q '"terminal":{"detail":"CliSiTef library [^"]*no-such-library.so[^"]*cannot be loaded' "$work/status.out"
KIOSK_PRINTER_PORT="$work/no-such-folder/receipts.txt" expect_status 1 '^printer   FAIL' "$data"
if [[ $engine == SQLITE ]]; then
    KIOSK_DB="Provider=SQLITE;Data Source=$work/missing.db" expect_status 2 '"status":"down"' --json "$data"
    [[ ! -e "$work/missing.db" ]]
else
    KIOSK_DB="${KIOSK_DB/Port=$KIOSK_PG_PORT/Port=1}" expect_status 2 '^store     FAIL' "$data"
fi
# status read the terminal and the journal without creating either.
[[ ! -e "$data/terminal-transactions.db" && ! -e "$data/purchase-journal.db" ]] || { ls "$data"; exit 1; }
echo "kioskctl $engine ok"
