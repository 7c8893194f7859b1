#!/usr/bin/env bash
# Two purchases on one open screen, as a consumer makes them by touch: a credit card
# recharge of 25,00 on "Refeição" and a debit card recharge of 10,00 on "Lanche".
# Then the store, the receipt, the journal and the terminal are read back.
# While the terminal waits for the card, keys and touches change nothing of what is charged.
# Usage: purchase_e2e.sh BIN-DIR SQLITE|POSTGRESQL
source "$(dirname "$0")/purchase_lib.sh"
purchase_setup "$1" "$2"
export KIOSK_TERMINAL_DELAY_MS=1000

{
    echo "expect lblVrTotSalCons 157,50"
    purchase_lines 1 2500 blbCredit running
    echo "key 9"
    echo "key Backspace"
    echo "key Enter"
    echo "expect-enabled dxbTeclado1 false"
    echo "expect-enabled blbMenu2 false"
    echo "expect lblVrSaldo 25,00"
    echo "wait-purchase"
    echo "expect lblVrSaldoCons 142,50"
    echo "expect lblVrSaldo 0,00"
    echo 'expect lblMensagem ""'
    echo "expect lblVrTotSalCons 182,50"
    echo "expect-visible PanTipoRece false"
    echo "expect-enabled dxbTclEnter true"
    purchase_lines 2 1000 blbDebt
    echo "wait 1500"
    echo "expect lblVrSaldoCons 50,00"
    echo "expect lblVrSaldo 0,00"
    echo "expect lblVrTotSalCons 192,50"
    echo "click bbbVoltar"
} >"$work/buy.kscript"
run_kiosk buy
require_kiosk_ok buy

# The terminal: two transactions, both confirmed.
mapfile -t tx < <(terminal_states)
[[ ${#tx[@]} == 2 ]] || fail "terminal holds ${#tx[@]} transactions: ${tx[*]}"
read -r nsu_credit state_credit <<<"${tx[0]}"
read -r nsu_debit state_debit <<<"${tx[1]}"
[[ $state_credit == confirmed && $state_debit == confirmed ]] || fail "terminal states: ${tx[*]}"

# One cash movement each, with the amount, the receipt type, the masked card and the NSU.
check_movement() {
    local nsu=$1 amount=$2 receipt_type=$3 row
    row=$(sql "SELECT IDTIPOMOVIVE, VRMOVIVEND, CDTIPORECE, NRCARTBANCO, NRSEQUMOVI, NRSERCAIXADOCNF, NRSEQCAIXADOCNF
                 FROM MOVCAIXA WHERE CDFILIAL = '0001' AND CDCAIXA = '001' AND CDNSUHOSTTEF = '$nsu'")
    [[ $(wc -l <<<"$row") == 1 ]] || fail "NSU $nsu: movements $row"
    IFS='|' read -r kind value type card movement serial fiscal_seq <<<"$row"
    [[ $kind == E ]] || fail "NSU $nsu: IDTIPOMOVIVE $kind"
    same_money "$value" "$amount" || fail "NSU $nsu: VRMOVIVEND $value"
    [[ $type == "$receipt_type" ]] || fail "NSU $nsu: CDTIPORECE $type"
    [[ $card =~ ^[0-9]{0,6}\*+[0-9]{4}$ && ${#card} -le 10 && $card == 4111* && $card == *1111 ]] ||
        fail "NSU $nsu: card number kept as $card"
    [[ -z $serial ]] || fail "NSU $nsu: printer serial $serial"
}
check_movement "$nsu_credit" 25 010
mov_credit=$movement seq_credit=$fiscal_seq
check_movement "$nsu_debit" 10 011
mov_debit=$movement seq_debit=$fiscal_seq
[[ $(sql "SELECT COUNT(*) FROM MOVCAIXA") == 2 ]] || fail "MOVCAIXA: $(sql "SELECT * FROM MOVCAIXA")"

# One credit statement line each, on the chosen family, tied to its movement.
check_statement() {
    local family=$1 amount=$2 movement=$3 receipt_type=$4 row
    row=$(sql "SELECT IDTPMOVEXT, NRSEQMOVEXT, DSOPEEXTCONS, VRMOVEXTCONS, CDTIPORECE, CDFILIAL, CDCAIXA, NRDEPOSICONS
                 FROM EXTRATOCONS WHERE CDCONSUMIDOR = '$consumer' AND CDFAMILISALD = '$family'
                  AND NRSEQMOVCAIXA = '$movement'")
    [[ -n $row && $(wc -l <<<"$row") == 1 ]] || fail "family $family: statement lines for movement $movement: $row"
    IFS='|' read -r kind line text value type branch till deposit <<<"$row"
    [[ $kind == C && $line == 001 ]] || fail "family $family: IDTPMOVEXT $kind, NRSEQMOVEXT $line"
    [[ $text == "ZEL - Crédito Caixa 001" ]] || fail "family $family: DSOPEEXTCONS \"$text\""
    same_money "$value" "$amount" || fail "family $family: VRMOVEXTCONS $value"
    [[ $type == "$receipt_type" && $branch == 0001 && $till == 001 ]] || fail "family $family: $row"
    [[ $deposit =~ ^[0-9]{10}$ ]] || fail "family $family: deposit number $deposit"
}
check_statement 001 25 "$mov_credit" 010
check_statement 002 10 "$mov_debit" 011
[[ $(sql "SELECT COUNT(*) FROM EXTRATOCONS WHERE DSOPEEXTCONS LIKE 'ZEL%'") == 2 ]] || fail "extra statement lines"

# A fiscal document "CN" per purchase, numbered as its movement says, with the printed COO.
for seq in "$seq_credit" "$seq_debit"; do
    row=$(sql "SELECT IDTPDENOMDOCNF, NRCOODOCNFIS, NRGNFDOCNFIS FROM DOCNFISCECF WHERE NRSEQECFDOCNF = '$seq'")
    IFS='|' read -r denomination coo gnf <<<"$row"
    [[ $denomination == CN && -n $coo && -n $gnf ]] || fail "fiscal document $seq: $row"
done
[[ $(sql "SELECT COUNT(*) FROM DOCNFISCECF") == 2 ]] || fail "DOCNFISCECF: $(sql "SELECT * FROM DOCNFISCECF")"
first_coo=$(sql "SELECT NRCOODOCNFIS FROM DOCNFISCECF WHERE NRSEQECFDOCNF = '$seq_credit'")

# The day's initial coupon: the first purchase's COO, kept once for branch, till and day.
row=$(sql "SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'CUPINICIAL0001001%'")
[[ $(wc -l <<<"$row") == 1 ]] || fail "initial coupon counters: $row"
[[ $((10#$row)) == $((10#$first_coo)) ]] || fail "initial coupon $row, first COO $first_coo"

# The balances: the store and the screen (above) agree.
expect_balance 001 142.50
expect_balance 002 50.00

# The receipts, in the file the port COM1 leads to.
receipts="$data/receipts-COM1.txt"
[[ -s $receipts ]] || fail "no receipt file"
for text in "$nsu_credit" "$nsu_debit" "Maria da Conceição Souza" "25,00" "10,00" "4111**1111"; do
    grep -qF -- "$text" "$receipts" || fail "the receipts do not show $text"
done

# The journal: both purchases ended confirmed.
[[ $(journal_state "$nsu_credit") == confirmed && $(journal_state "$nsu_debit") == confirmed ]] ||
    fail "journal: $(sqlite3 "$data/purchase-journal.db" "SELECT nsu, state FROM settled_purchase")"

check_settled
# Nothing is left for a technician to settle.
"$bin/kioskctl" recover "$data" >"$work/recover.log" || fail "recover: $(cat "$work/recover.log")"
echo "purchase $engine ok"
