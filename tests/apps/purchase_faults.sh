#!/usr/bin/env bash
# A paid purchase meets a fault; afterwards every card transaction the terminal
# approved is either confirmed with exactly one recording or undone with none, and
# every balance is the sum of its statement lines.
# Usage: purchase_faults.sh BIN-DIR CASE ENGINE
#   kill-after-approval | kill-after-printing | kill-mid-recording   the kiosk dies there
#       (SIGKILL); the restarted kiosk, or `kioskctl recover` (ENGINE suffix "+recover"),
#       settles the journal
#   store-outage    PostgreSQL stops just before the recording and is back a moment later
#   pg-restart      PostgreSQL restarts between two purchases of one open screen
#   store-locked    another process holds the SQLite store's write lock at the recording
#   duplicate-key   every movement number the recording gets is taken already
#   printer-fails   the receipt printer's port is a path nobody can write
#   race-settlers   `kioskctl recover` and a second kiosk start while a purchase runs
#   nsu-reused      the terminal forgot its transactions (replaced) and hands out an NSU
#                   the store already holds for this till; the second purchase must be
#                   recorded or undone, not confirmed on the strength of the first one's
#                   movement
source "$(dirname "$0")/purchase_lib.sh"
bin=$1 case_name=$2 engine_arg=$3
settle_with=kiosk
if [[ $engine_arg == *+recover ]]; then
    settle_with=kioskctl
    engine_arg=${engine_arg%+recover}
fi
purchase_setup "$bin" "$engine_arg"

# The receipt printer as a named pipe: the kiosk stops at its receipt until the
# test reads it, so the test can set up a fault at that exact point of the purchase.
# This printer waits for the test as long as the test may take (a real one has seconds).
printer_pipe() {
    mkfifo "$work/printer"
    export KIOSK_PRINTER_PORT="$work/printer" KIOSK_PRINTER_TIMEOUT_MS=80000
}
# Takes a purchase's two slips from that printer, into receipts.txt: our credit receipt,
# then the card payment's own receipt, which the kiosk prints before it records.
take_receipts() {
    cat "$work/printer" >>"$work/receipts.txt"
    cat "$work/printer" >>"$work/receipts.txt"
}

# Plays buy.kscript; the purchase must end undone on the terminal with the balance unchanged.
buy_ends_undone() {
    run_kiosk buy
    require_kiosk_ok buy
    read -r nsu state < <(terminal_states)
    [[ $state == undone ]] || fail "terminal: $nsu $state"
    expect_balance 001 117.50
}

# Waits (at most 20 s) for a terminal transaction in STATE, or for a log line.
wait_for_transaction() {
    local state=$1 count=${2:-1} i
    for ((i = 0; i < 200; i++)); do
        (($(terminal_states | grep -c " $state$") >= count)) && return 0
        sleep 0.1
    done
    fail "no $state transaction on the terminal"
}
wait_for_log() {
    local file=$1 text=$2 i
    for ((i = 0; i < 200; i++)); do
        grep -qF -- "$text" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "$file never said \"$text\""
}

# The test's own server, stopped and started as the throwaway script started it.
pg_ctl_() {
    "${as_pg[@]}" "$KIOSK_PG_BIN/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/log" -w "$@" \
        -o "-p $KIOSK_PG_PORT -k $pg_dir -c listen_addresses=127.0.0.1 -c max_connections=200 -c fsync=on" >/dev/null
}

# The chosen family's balance on a fresh screen (the restarted kiosk).
balance_lines() {
    echo "click blbMenu1"
    echo "expect lblVrSaldoCons $1"
    echo "click bbbVoltar"
}

case $case_name in
kill-after-approval | kill-after-printing | kill-mid-recording)
    point=${case_name#kill-}
    purchase_lines 1 2500 blbCredit >"$work/buy.kscript"
    echo "wait 5000" >>"$work/buy.kscript"
    KIOSK_TEST_KILL_AT=$point run_kiosk buy
    [[ $kiosk_status == 137 ]] || { cat "$work/buy.log"; fail "the kiosk was not killed at $point ($kiosk_status)"; }
    grep -q "killed at fault point $point" "$work/buy.log" || fail "killed elsewhere: $(cat "$work/buy.log")"

    # What the crash left: a pending card transaction, an unfinished journal entry, no credit.
    read -r nsu state < <(terminal_states)
    [[ $state == pending ]] || fail "terminal: $nsu $state after the crash"
    # Where the purchase stood: approved, its receipt printed, the store asked to record it.
    declare -A left=([after-approval]=authorised [after-printing]=printed [mid-recording]=recording)
    [[ $(journal_state "$nsu") == "${left[$point]}" ]] || fail "journal: $(journal_state "$nsu") after the crash"
    [[ $(movements_with_nsu "$nsu") == 0 ]] || fail "a movement committed before the kiosk died at $point"
    expect_balance 001 117.50
    if [[ $point == after-approval ]]; then
        [[ ! -s $data/receipts-COM1.txt ]] || fail "a receipt was printed before the crash"
    else
        grep -qF "$nsu" "$data/receipts-COM1.txt" || fail "no receipt before the crash"
    fi

    if [[ $settle_with == kioskctl ]]; then
        "$bin/kioskctl" recover "$data" >"$work/recover.log" 2>&1 || fail "recover: $(cat "$work/recover.log")"
        grep -q "^$nsu confirmed" "$work/recover.log" || fail "recover: $(cat "$work/recover.log")"
        # A second settlement finds nothing to do and records nothing twice.
        "$bin/kioskctl" recover "$data" >"$work/recover2.log" 2>&1 || fail "recover again: $(cat "$work/recover2.log")"
    fi
    # The restarted kiosk settles its journal before the screen shows the balances.
    balance_lines 142,50 >"$work/restart.kscript"
    run_kiosk restart
    require_kiosk_ok restart
    [[ $(terminal_states) == "$nsu confirmed" ]] || fail "terminal after the restart: $(terminal_states)"
    expect_balance 001 142.50
    if [[ $point == after-printing || $point == mid-recording ]]; then
        # The receipt's coupon counters made it into the fiscal document.
        coo=$(sql "SELECT d.NRCOODOCNFIS FROM DOCNFISCECF d JOIN MOVCAIXA m ON m.NRSEQCAIXADOCNF = d.NRSEQECFDOCNF
                    WHERE m.CDNSUHOSTTEF = '$nsu'")
        [[ -n $coo ]] && grep -q "COO *$coo" "$data/receipts-COM1.txt" || fail "fiscal document COO \"$coo\""
    fi
    ;;

store-outage)
    [[ $engine == OWNPG ]] || fail "store-outage needs a PostgreSQL of its own"
    printer_pipe
    {
        purchase_lines 1 2500 blbCredit
        # The recording failed: nobody is asked anything, the kiosk retries by itself.
        echo "wait 9000"
        echo 'expect lblText "O crédito foi registrado."'
        echo "answer ok"
        echo "wait 300"
        echo "expect lblVrSaldoCons 142,50"
        echo "expect lblVrSaldo 0,00"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    start_kiosk buy
    wait_for_transaction pending
    pg_ctl_ stop -m fast
    take_receipts
    wait_for_log "$work/buy.log" "setGravaCompCred failed"
    pg_ctl_ start
    finish_kiosk
    require_kiosk_ok buy
    expect_balance 001 142.50
    ;;

pg-restart)
    [[ $engine == OWNPG ]] || fail "pg-restart needs a PostgreSQL of its own"
    printer_pipe
    {
        purchase_lines 1 2500 blbCredit
        echo "wait 1000"
        echo "expect lblVrSaldoCons 142,50"
        # The server restarts while the screen waits for the next purchase.
        echo "wait 3000"
        purchase_lines 2 1000 blbDebt
        echo "wait 1000"
        echo "expect lblVrSaldoCons 50,00"
        echo "expect lblVrTotSalCons 192,50"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    start_kiosk buy
    take_receipts
    wait_for_transaction confirmed
    pg_ctl_ restart -m fast
    # The second purchase waits at its receipt until the server is surely back.
    take_receipts
    finish_kiosk
    require_kiosk_ok buy
    expect_balance 001 142.50
    expect_balance 002 50.00
    [[ $(grep -c "^NSU" "$work/receipts.txt") == 4 && $(grep -c "VIA CLIENTE" "$work/receipts.txt") == 2 ]] ||
        fail "receipts: $(cat "$work/receipts.txt")"
    # The restart did cut the screen's session: the second purchase ran on a new one.
    grep -q "adcRecSaldo session lost, reconnecting" "$work/buy.log" || fail "the session was never lost"
    ;;

store-locked)
    [[ $engine == SQLITE ]] || fail "store-locked is about the SQLite store"
    printer_pipe
    {
        purchase_lines 1 2500 blbCredit
        echo "wait 1000"
        echo "expect lblVrSaldoCons 142,50"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    start_kiosk buy
    wait_for_transaction pending
    # Another program holds the store's write lock for three seconds.
    { echo "BEGIN EXCLUSIVE;"; echo ".print locked"; sleep 3; echo "COMMIT;"; } |
        sqlite3 -batch "$store" >"$work/lock.log" 2>&1 &
    locker=$!
    wait_for_log "$work/lock.log" locked
    take_receipts
    finish_kiosk
    wait "$locker"
    require_kiosk_ok buy
    expect_balance 001 142.50
    ;;

duplicate-key)
    # Someone set the till's movement counter back: the numbers the next four
    # recordings get are taken. The purchase cannot be recorded and is undone.
    for n in 1 2 3 4; do
        sql "INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQUMOVI, IDTIPOMOVIVE, VRMOVIVEND)
             VALUES ('0001', '001', '2026-12-01 06:00:00.000', '000000000$n', 'E', 1)"
    done
    {
        purchase_lines 1 2500 blbCredit
        echo "wait 10500"
        echo 'expect lblText "O crédito não foi registrado. A cobrança no cartão foi cancelada."'
        echo "answer ok"
        echo "wait 300"
        echo "expect lblVrSaldoCons 117,50"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    buy_ends_undone
    ;;

printer-fails)
    export KIOSK_PRINTER_PORT="$work/no-such-folder/receipts.txt"
    {
        purchase_lines 1 2500 blbCredit
        echo "wait 1000"
        echo "answer ok"
        echo "wait 300"
        echo "expect lblVrSaldoCons 117,50"
        echo "expect lblVrSaldo 25,00"
        echo 'expect lblMensagem ""'
        echo "expect-enabled dxbTclEnter true"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    buy_ends_undone
    ;;

nsu-reused)
    { purchase_lines 1 2500 blbCredit; echo "wait 1500"; echo "click bbbVoltar"; } >"$work/first.kscript"
    run_kiosk first
    require_kiosk_ok first
    # A card-payment server that numbers afresh (its transactions and its counter replaced).
    for f in "$data"/terminal-transactions.db*; do mv "$f" "$work/"; done
    { purchase_lines 2 1000 blbCredit; echo "wait 12000"; echo "answer ok"; echo "click bbbVoltar"; } >"$work/second.kscript"
    run_kiosk second
    read -r nsu state < <(terminal_states)
    # The store holds the first purchase under that NSU; the second cannot be recorded
    # (one movement per NSU and till) and must be undone, never confirmed on the first's movement.
    [[ $state == undone ]] || fail "second purchase $nsu left $state"
    expect_balance 002 40.00
    [[ $(movements_with_nsu "$nsu") == 1 ]] || fail "NSU $nsu recorded $(movements_with_nsu "$nsu") times"
    [[ $(journal_state "$nsu") == undone ]] || fail "journal says $(journal_state "$nsu")"
    # The generic check below reads one terminal file and one journal state per NSU; both now
    # speak of two purchases under one NSU, so this case ends with its own checks.
    echo "$case_name on $engine_arg ok"
    exit 0
    ;;

race-settlers)
    # While the kiosk runs a purchase (here held at its receipt), `kioskctl recover` and a
    # second kiosk starting on the same data folder leave it alone: one settler per purchase.
    printer_pipe
    {
        purchase_lines 1 2500 blbCredit
        echo "wait 6000"
        echo "expect lblVrSaldoCons 142,50"
        echo "click bbbVoltar"
    } >"$work/buy.kscript"
    start_kiosk buy
    wait_for_transaction pending
    recover_status=0
    "$bin/kioskctl" recover "$data" >"$work/recover.log" 2>&1 || recover_status=$?
    [[ $recover_status == 1 ]] || fail "recover during the purchase exited $recover_status: $(cat "$work/recover.log")"
    grep -q " in progress" "$work/recover.log" || fail "recover did not see the purchase in progress: $(cat "$work/recover.log")"
    echo "click bbbVoltar" >"$work/second.kscript"
    run_kiosk second
    require_kiosk_ok second
    read -r nsu state < <(terminal_states)
    [[ $state == pending && $(movements_with_nsu "$nsu") == 0 ]] ||
        fail "another settler touched the running purchase: $nsu $state, $(movements_with_nsu "$nsu") movement(s)"
    take_receipts
    finish_kiosk
    require_kiosk_ok buy
    expect_balance 001 142.50
    ;;

*) fail "unknown case $case_name" ;;
esac

check_settled
echo "$case_name on $engine_arg ($settle_with) ok"
