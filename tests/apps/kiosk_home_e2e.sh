#!/usr/bin/env bash
# The kiosk's day by script: the home screen refuses an unknown code, a consumer
# types their code and makes a purchase, goes back home; the next one chooses
# English with the keypad; the first comes back and sees the new balance. The
# script ends with a recharge screen open: the kiosk closes it and ends with 0.
# A wrong expectation on the home screen ends the kiosk with 1 and names the line.
# Usage: kiosk_home_e2e.sh BIN-DIR SQLITE|POSTGRESQL
source "$(dirname "$0")/purchase_lib.sh"
purchase_setup "$1" "$2"

typed() {
    local code=$1 i
    for ((i = 0; i < ${#code}; i++)); do echo "key ${code:i:1}"; done
    echo "key Enter"
}
{
    echo "screen frmHome"
    echo 'expect lblCodigo ""'
    typed 999
    echo 'expect lblMensagem "Código 999 não encontrado. Confira o código e digite de novo."'
    echo 'expect lblCodigo ""'
    typed $consumer
    echo "screen frmRecSaldo"
    echo 'expect blsNome "Maria da Conceição Souza"'
    echo "expect lblVrTotSalCons 157,50"
    purchase_lines 1 2500 blbCredit
    echo "wait 300"
    echo "expect lblVrTotSalCons 182,50"
    echo "click bbbVoltar"
    echo "screen frmHome"
    echo 'expect lblCodigo ""'
    echo 'expect lblMensagem ""'
    echo "click blbIdiomaEn"
    echo 'expect lblTitulo "Card Recharge"'
    for d in 0 0 0 0 0 0 0 0 0 0 0 0 1 0 2; do echo "click dxbTeclado$d"; done
    echo 'expect lblCodigo 000000000000102'
    echo "click dxbTclOK"
    echo "screen frmRecSaldo"
    echo 'expect frmRecSaldo "Card Recharge"'
    echo 'expect blsNome "João Pereira"'
    echo "click bbbVoltar"
    echo "screen frmHome"
    echo 'expect lblTitulo "Recarga Cartão"'
    typed $consumer
    echo "screen frmRecSaldo"
    echo 'expect frmRecSaldo "Recarga Cartão"'
    echo "expect lblVrTotSalCons 182,50"
} >"$work/home.kscript"

status=0
"$bin/kiosk" --script "$work/home.kscript" >"$work/home.log" 2>&1 || status=$?
[[ $status == 0 ]] || { cat "$work/home.log" >&2; fail "the home loop ended with status $status"; }
# Quiet by default: the kiosk's own warnings at most (the printer's first coupon, for
# one), no notice of Qt's and no session line.
if grep -v -e '^kiosk\.[a-z]*: ' -e '^kiosk: ' "$work/home.log" | grep -q . || grep -q 'session open' "$work/home.log"; then
    cat "$work/home.log" >&2
    fail "the kiosk logged more than its warnings at the default level"
fi
check_settled

printf 'screen frmHome\nexpect lblCodigo 1\n' >"$work/wrong.kscript"
status=0
out=$("$bin/kiosk" --script "$work/wrong.kscript" 2>&1) || status=$?
[[ $status == 1 ]] || fail "a wrong expectation on the home screen ended with status $status"
grep -qF "$work/wrong.kscript, line 2: expect lblCodigo 1: caption is \"\"" <<<"$out" || fail "$out"
echo "kiosk home loop ok ($engine)"
