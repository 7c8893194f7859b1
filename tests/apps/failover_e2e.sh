#!/usr/bin/env bash
# A store with a standby loses its primary while kiosks recharge: two `kioskctl record`
# loops and a kiosk buying with the stand-in card terminal, all naming both servers in one
# connection string. The standby is promoted and the kiosks carry on. Afterwards, on
# the new primary: every recording that reported success is there once, no movement is
# there twice, every approved card transaction is confirmed with exactly one movement
# or undone with none (after `kioskctl recover`), every balance is the sum of its lines.
# Then the old primary rejoins as standby and the same happens the other way.
#
# Usage: failover_e2e.sh BIN-DIR [FAILOVERS]   (default 2: there and back)
# Prints one line per failover: "failover N: pause S s, ..." (kill to the first
# successful recording afterwards); FAILOVER_FIGURES=FILE appends them there too.
source "$(dirname "$0")/purchase_lib.sh"
bin=$1
failovers=${2:-2}
here=$(cd "$(dirname "$0")/../.." && pwd)
engine=HA
pg_db=postgres

work=$(mktemp -d /tmp/kiosk-failover.XXXXXX)
data="$work/data"
mkdir -p "$data"
loops=()
failover_cleanup() {
    touch "$work/stop"
    ha_stop
    local pid
    for pid in "${loops[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [[ -n ${KIOSK_TEST_KEEP:-} ]]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
# shellcheck source=/dev/null
source "$here/scripts/ha-postgres.sh" >/dev/null || fail "the PostgreSQL formation did not start"
trap failover_cleanup EXIT
export KIOSK_PG_BIN=$ha_bin
KIOSK_PG_PORT=$(ha_primary)

export KIOSK_DB=$KIOSK_TEST_PG_HA KIOSK_DATA_DIR="$data" KIOSK_CONFIG=/dev/null KIOSK_LOCALE=pt_BR
export KIOSK_TERMINAL_MODE=approve KIOSK_TERMINAL_DELAY_MS=0 KIOSK_TERMINAL_CARD=$card_full
# The card terminal: our stand-in card-payment library, as the kiosk loads a provider's.
export KIOSK_TERMINAL_LIBRARY=${KIOSK_TERMINAL_LIBRARY:-$(realpath "$bin")/libclisitef-standin.so} KIOSK_SITEF_TERMINAL=${KIOSK_SITEF_TERMINAL:-KS000001}
"$bin/kioskctl" init-db
"$bin/kioskctl" demo-data
"$bin/kioskctl" demo-files "$data"

now() { date +%s.%N; }

# One credit per call, each told apart by its description; "TAG END START" of every
# call that reported success goes to rec-ok-ID, of every failure (and why) to rec-failed-ID.
record_loop() {
    local id=$1 n=0 tag stamp out started
    while [[ ! -e $work/stop ]]; do
        n=$((n + 1))
        tag="failover-$id-$n"
        stamp=$(date -u '+%Y-%m-%d %H:%M:%S.%3N')
        started=$(now)
        cat >"$work/packet-$id.json" <<JSON
{"format":"kiosk-datapacket","version":1,
 "fields":[{"name":"NRORDTROCO","type":"string","size":3},{"name":"DTHRINCMOV","type":"datetime"},
           {"name":"VRMOVIVEND","type":"float"},{"name":"IDTIPOMOVIVE","type":"string","size":1},
           {"name":"CDTIPORECE","type":"string","size":3},{"name":"DTMOVIMCAIXA","type":"date"},
           {"name":"NRCARTBANCO","type":"string","size":10},{"name":"CDNSUHOSTTEF","type":"string","size":50},
           {"name":"DSMOVIVEND","type":"string","size":250},{"name":"DTDEPCHEQVEN","type":"datetime"},
           {"name":"CDAGECHEQVEN","type":"string","size":5},{"name":"CDBANCHEQVEN","type":"string","size":3},
           {"name":"CDCNTCHEQVEN","type":"string","size":16},{"name":"NRCHEQUEVEND","type":"string","size":6},
           {"name":"VRMOVIVEOUT","type":"float"},{"name":"VRCOTINDOUT","type":"float"}],
 "rows":[["", "$stamp", 1.0, "E", "010", "2026-12-08", "****4242", null,
          "$tag", null, null, null, null, null, null, null]]}
JSON
        if out=$("$bin/kioskctl" record "$work/packet-$id.json" 0001 001 "$client" "$consumer" 002 2612081000 \
            "$(printf '%06d' $((id * 100000 + n)))" 000010 FAILOVER 2026-12-01T06:00:00 2026-12-08 2>&1); then
            echo "$tag $(now) $started" >>"$work/rec-ok-$id"
        else
            echo "$tag $(now) $started ${out//$'\n'/ }" >>"$work/rec-failed-$id"
        fi
    done
}

# Purchases of 10,00 on the kiosk, three per screen; a screen whose purchase met the
# failover (a message to answer) ends, and the next kiosk settles its journal first.
{
    for _ in 1 2 3; do
        purchase_lines 1 1000 blbCredit
        echo "wait 1500"
    done
    echo "click bbbVoltar"
} >"$work/buy.kscript"
kiosk_loop() {
    local round=$1 n=0 status
    while [[ ! -e $work/stop ]]; do
        n=$((n + 1))
        status=0
        timeout -s KILL 120 "$bin/kiosk" --consumer "$consumer" --script "$work/buy.kscript" \
            >"$work/kiosk-$round-$n.log" 2>&1 || status=$?
        echo "$round-$n $status $(now)" >>"$work/kiosk-runs"
    done
}

start_loops() {
    rm -f "$work/stop"
    record_loop $((2 * $1 - 1)) &
    loops+=($!)
    record_loop $((2 * $1)) &
    loops+=($!)
    kiosk_loop "$1" &
    loops+=($!)
}
stop_loops() {
    touch "$work/stop"
    local pid
    for pid in "${loops[@]}"; do wait "$pid" || true; done
    loops=()
}

confirmed_count() {
    terminal_states | grep -c " confirmed$" || true
}

# Every recording that reported success is in the store once; none is there twice.
check_recordings() {
    local expected
    expected=$(cat "$work"/rec-ok-* 2>/dev/null | awk '{ print $1 }' | sort || true)
    local stored
    stored=$(sql "SELECT DSMOVIVEND FROM MOVCAIXA WHERE DSMOVIVEND LIKE 'failover-%' ORDER BY 1" | sort)
    local lost twice
    lost=$(comm -23 <(echo "$expected") <(echo "$stored" | uniq) | grep -v '^$' || true)
    [[ -z $lost ]] || fail "recordings that reported success and are not in the store: $lost"
    twice=$(echo "$stored" | uniq -d)
    [[ -z $twice ]] || fail "recordings stored twice: $twice"
    twice=$(sql "SELECT CDCAIXA, CDNSUHOSTTEF, COUNT(*) FROM MOVCAIXA WHERE CDNSUHOSTTEF IS NOT NULL
                   AND CDNSUHOSTTEF <> '' GROUP BY CDCAIXA, CDNSUHOSTTEF HAVING COUNT(*) > 1")
    [[ -z $twice ]] || fail "card transactions with more than one movement: $twice"
}

for ((round = 1; round <= failovers; round++)); do
    ha_wait_settled 60 || fail "the formation is not settled before failover $round"
    primary=$(ha_primary)
    confirmed_before=$(confirmed_count)
    start_loops "$round"
    # Recharges run against the primary for a while first.
    for ((i = 0; i < 300; i++)); do
        [[ -s $work/rec-ok-$((2 * round)) && $(confirmed_count) -gt $confirmed_before ]] && break
        sleep 0.1
    done
    ((i < 300)) || fail "no recording went through before failover $round: $(cat "$work"/rec-failed-* 2>/dev/null | tail -3)"
    confirmed_at_kill=$(confirmed_count)
    killed_at=$(now)
    ha_lose_node "$primary"
    # The kiosks carry on: a recording and a card purchase go through on the new primary.
    # The pause: from the kill to the end of the first recording begun after it.
    for ((i = 0; i < 450; i++)); do
        first_ok=$(cat "$work"/rec-ok-* 2>/dev/null | awk -v t="$killed_at" '$3 > t { print $2 }' | sort -n | head -1 || true)
        [[ -n $first_ok && $(confirmed_count) -gt $confirmed_at_kill ]] && break
        sleep 0.2
    done
    [[ -n $first_ok ]] || fail "no recording went through in 90 s after losing the primary $primary"
    (($(confirmed_count) > confirmed_at_kill)) || fail "no card purchase went through in 90 s after losing $primary"
    sleep 2
    stop_loops
    for ((i = 0; i < 50; i++)); do
        KIOSK_PG_PORT=$(ha_primary)
        [[ -n $KIOSK_PG_PORT ]] && break
        sleep 0.2
    done
    [[ -n $KIOSK_PG_PORT && $KIOSK_PG_PORT != "$primary" ]] || fail "no new primary after losing $primary"
    "$bin/kioskctl" recover "$data" >"$work/recover-$round.log" 2>&1 ||
        fail "recover after failover $round: $(cat "$work/recover-$round.log")"
    check_recordings
    check_settled >"$work/settled-$round.log"
    ok=$(cat "$work"/rec-ok-* | wc -l)
    failed=$(cat "$work"/rec-failed-* 2>/dev/null | awk -v t="$killed_at" '$2 > t' | wc -l || true)
    runs_failed=$(awk -v t="$killed_at" '$3 > t && $2 != 0' "$work/kiosk-runs" | wc -l)
    settled_by_journal=$(grep -c -E ' (confirmed|undone)' "$work/recover-$round.log" || true)
    figures=$(printf 'failover %d: pause %.1f s, recordings lost 0 (of %d that reported success), %d recording(s) failed after the loss, %d kiosk screen(s) ended by it, %d purchase(s) settled by kioskctl recover, %s' \
        "$round" "$(awk -v a="$first_ok" -v b="$killed_at" 'BEGIN { print a - b }')" "$ok" "$failed" "$runs_failed" "$settled_by_journal" \
        "$(cat "$work/settled-$round.log")")
    echo "$figures"
    [[ -z ${FAILOVER_FIGURES:-} ]] || echo "$figures" >>"$FAILOVER_FIGURES"
    # The old primary comes back as standby (rewound to the new timeline).
    ha_rejoin_node "$primary"
done
ha_wait_settled 60 || fail "the old primary did not rejoin"
echo "failover ok"
