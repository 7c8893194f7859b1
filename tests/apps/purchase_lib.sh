# Sourced by the purchase tests: a store and a data folder of their own, the kiosk
# played with a check script, and the checks every paid purchase must pass.
#
#   purchase_setup BIN ENGINE   fresh store (SQLITE, POSTGRESQL on $KIOSK_TEST_PG, or
#                               OWNPG: a PostgreSQL cluster of the test's own, which it may stop)
#   run_kiosk NAME [kiosk options]   plays $work/NAME.kscript; status in $kiosk_status
#   sql "SELECT ..."            one statement on the store, rows as a|b|c
#   check_settled               every approved card transaction confirmed with exactly one
#                               recording or undone with none; every balance = its statement lines
set -euo pipefail

consumer=000000000000101
client=000000000000001
card_full=4111111111111111

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

purchase_cleanup() {
    if [[ $engine == POSTGRESQL ]]; then
        "$KIOSK_PG_BIN/psql" -X -h 127.0.0.1 -p "$KIOSK_PG_PORT" -U postgres -qc \
            "DROP DATABASE IF EXISTS $pg_db WITH (FORCE)" postgres >/dev/null 2>&1 || true
    fi
    if [[ $engine == OWNPG ]]; then pg_stop; fi
    if [[ -n ${kiosk_pid:-} ]]; then kill "$kiosk_pid" 2>/dev/null || true; fi
    # KIOSK_TEST_KEEP=1 keeps the store, data folder and kiosk logs to look at.
    if [[ -n ${KIOSK_TEST_KEEP:-} ]]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}

purchase_setup() {
    bin=$1 engine=$2
    work=$(mktemp -d /tmp/kiosk-purchase.XXXXXX)
    data="$work/data"
    mkdir -p "$data"
    case $engine in
    SQLITE)
        store="$work/store.db"
        export KIOSK_DB="Provider=SQLITE;Data Source=$store"
        ;;
    POSTGRESQL)
        pg_db="kiosk_purchase_$$"
        "$KIOSK_PG_BIN/psql" -X -h 127.0.0.1 -p "$KIOSK_PG_PORT" -U postgres -qc "CREATE DATABASE $pg_db" postgres
        export KIOSK_DB="${KIOSK_TEST_PG/Database=postgres/Database=$pg_db}"
        ;;
    OWNPG)
        # A server of this test's own: stopping it disturbs no other test.
        local here
        here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
        # shellcheck source=/dev/null
        source "$here/scripts/throwaway-postgres.sh" >/dev/null
        pg_db=postgres
        export KIOSK_DB="$KIOSK_TEST_PG"
        ;;
    *) fail "unknown engine $engine" ;;
    esac
    trap purchase_cleanup EXIT
    export KIOSK_DATA_DIR="$data" KIOSK_CONFIG=/dev/null KIOSK_LOCALE=pt_BR
    export KIOSK_TERMINAL_MODE=approve KIOSK_TERMINAL_DELAY_MS=0 KIOSK_TERMINAL_CARD=$card_full
    # The card terminal: our stand-in card-payment library, as the kiosk loads a provider's.
    export KIOSK_TERMINAL_LIBRARY=${KIOSK_TERMINAL_LIBRARY:-$(realpath "$bin")/libclisitef-standin.so} KIOSK_SITEF_TERMINAL=${KIOSK_SITEF_TERMINAL:-KS000001}
    "$bin/kioskctl" init-db
    "$bin/kioskctl" demo-data
    "$bin/kioskctl" demo-files "$data"
}

sql() {
    if [[ $engine == SQLITE ]]; then
        sqlite3 -batch -bail -separator '|' "$store" "$1"
    else
        "$KIOSK_PG_BIN/psql" -X -At -F '|' -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$KIOSK_PG_PORT" -U postgres \
            -d "$pg_db" -c "$1"
    fi
}

# Amounts as the engines print them (117.5, 117.50): compared to the cent.
same_money() {
    awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(d < 0.005 && d > -0.005) }'
}

balance_of() {
    sql "SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCLIENTE = '$client' AND CDCONSUMIDOR = '$consumer'
         AND CDFAMILISALD = '$1'"
}

expect_balance() {
    local got
    got=$(balance_of "$1")
    same_money "$got" "$2" || fail "family $1: balance $got, expected $2"
}

# Plays $work/NAME.kscript on the demo consumer's screen; output in $work/NAME.log.
run_kiosk() {
    local name=$1
    shift
    kiosk_status=0
    "$bin/kiosk" --consumer "$consumer" --script "$work/$name.kscript" "$@" >"$work/$name.log" 2>&1 ||
        kiosk_status=$?
}

# The same in the background, for a test that sets up a fault while the kiosk runs.
start_kiosk() {
    local name=$1
    shift
    "$bin/kiosk" --consumer "$consumer" --script "$work/$name.kscript" "$@" >"$work/$name.log" 2>&1 &
    kiosk_pid=$!
}
finish_kiosk() {
    kiosk_status=0
    wait "$kiosk_pid" || kiosk_status=$?
    kiosk_pid=
}

require_kiosk_ok() {
    [[ $kiosk_status == 0 ]] || { cat "$work/$1.log" >&2; fail "kiosk run $1 ended with status $kiosk_status"; }
}

# NSU STATE lines of the stand-in card terminal, every transaction in the order they were made.
terminal_states() {
    "$bin/kioskctl" terminal --all "$data" 2>/dev/null | tac | awk '{ print $1, $2 }'
}

movements_with_nsu() {
    sql "SELECT COUNT(*) FROM MOVCAIXA WHERE CDFILIAL = '0001' AND CDCAIXA = '001' AND CDNSUHOSTTEF = '$1'"
}

# The state of a purchase in the journal: the state of its last line.
journal_state() {
    sqlite3 "$data/purchase-journal.db" "SELECT state FROM (SELECT state, seq FROM open_purchase WHERE nsu = '$1'
        UNION ALL SELECT state, seq FROM settled_purchase WHERE nsu = '$1') ORDER BY seq DESC LIMIT 1"
}

check_settled() {
    local nsu state n approved=0
    while read -r nsu state; do
        n=$(movements_with_nsu "$nsu")
        case $state in
        confirmed)
            ((approved += 1))
            [[ $n == 1 ]] || fail "transaction $nsu confirmed on the terminal with $n recordings"
            [[ $(journal_state "$nsu") == confirmed ]] || fail "transaction $nsu: journal says $(journal_state "$nsu")"
            ;;
        undone | declined)
            [[ $state == declined ]] || ((approved += 1))
            [[ $n == 0 ]] || fail "transaction $nsu $state on the terminal but recorded $n times"
            if [[ $state == undone ]]; then
                [[ $(journal_state "$nsu") == undone ]] || fail "transaction $nsu: journal says $(journal_state "$nsu")"
            fi
            ;;
        *) fail "transaction $nsu left $state on the terminal" ;;
        esac
    done < <(terminal_states)
    # No recording without a card transaction the terminal settled.
    local orphans
    orphans=$(sql "SELECT CDNSUHOSTTEF FROM MOVCAIXA WHERE CDNSUHOSTTEF IS NOT NULL AND CDNSUHOSTTEF <> ''" |
        while read -r nsu; do
            terminal_states | grep -q "^$nsu confirmed$" || echo "$nsu"
        done)
    [[ -z $orphans ]] || fail "movements without a confirmed card transaction: $orphans"
    # Every balance is the sum of its statement lines, and every statement has its balance row.
    local bad
    bad=$(sql "SELECT s.CDCONSUMIDOR, s.CDFAMILISALD, s.VRSALDCONFAM,
                      (SELECT COALESCE(SUM(CASE WHEN e.IDTPMOVEXT = 'D' THEN -e.VRMOVEXTCONS ELSE e.VRMOVEXTCONS END), 0)
                         FROM EXTRATOCONS e WHERE e.CDCLIENTE = s.CDCLIENTE AND e.CDCONSUMIDOR = s.CDCONSUMIDOR
                          AND e.CDFAMILISALD = s.CDFAMILISALD)
                 FROM SALDOCONS s" |
        awk -F'|' '{ d = $3 - $4; if (d > 0.005 || d < -0.005) print }')
    [[ -z $bad ]] || fail "balances that are not the sum of their statement lines: $bad"
    bad=$(sql "SELECT DISTINCT e.CDCONSUMIDOR, e.CDFAMILISALD FROM EXTRATOCONS e WHERE NOT EXISTS
                 (SELECT 1 FROM SALDOCONS s WHERE s.CDCLIENTE = e.CDCLIENTE AND s.CDCONSUMIDOR = e.CDCONSUMIDOR
                     AND s.CDFAMILISALD = e.CDFAMILISALD)")
    [[ -z $bad ]] || fail "statement lines without a balance: $bad"
    # The full card number never leaves the terminal: not in a file of the kiosk nor in a log.
    if grep -rqF "$card_full" "$data" "$work"/*.log 2>/dev/null; then
        fail "the full card number was written: $(grep -rlF "$card_full" "$data" "$work"/*.log)"
    fi
    echo "$approved approved card transaction(s), each confirmed and recorded once or undone and not recorded"
}

# Script lines: choose the family in menu slot SLOT, type the amount's digits, OK,
# card button, confirm.
# A fourth argument "running" leaves the purchase running for the lines that follow.
purchase_lines() {
    local slot=$1 digits=$2 button=$3 i
    echo "click blbMenu$slot"
    for ((i = 0; i < ${#digits}; i++)); do echo "click dxbTeclado${digits:i:1}"; done
    echo "click dxbTclEnter"
    echo "expect-visible PanTipoRece true"
    echo "click $button"
    echo "answer yes"
    [[ ${4:-} == running ]] || echo "wait-purchase"
}
