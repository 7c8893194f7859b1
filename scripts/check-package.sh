#!/usr/bin/env bash
# The kiosk as a store installs it: builds the Debian package from BUILD-DIR,
# checks it with lintian (no errors) and its unit with systemd-analyze verify,
# installs it, and runs the installed kiosk under cage with the headless backend
# as the kiosk user (cage refuses root), playing a check script: home screen, a
# consumer's code, their recharge screen with the balances, back home. Then the
# package is purged again. Needs root (it installs the package).
# Usage: scripts/check-package.sh BUILD-DIR
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."
if [[ $(id -u) -ne 0 ]]; then
    echo "check-package: skipped (installs the package: run as root)"
    exit 0
fi
fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}

cmake --build "$build" --target kiosk kioskctl Pkg_kvb52814 kiosk_changelog >/dev/null
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null 2>&1)
deb=$(ls "$build"/package/kiosk-recharge_*.deb)
echo "check-package: $(basename "$deb")"

# Every shared library the build makes is one the programs load: all are packaged.
contents=$(dpkg-deb -c "$deb")
for lib in "$build"/bin/*.so; do
    grep -q "/usr/lib/kiosk/$(basename "$lib")\$" <<<"$contents" ||
        fail "$(basename "$lib") is not in the package (packaging/CMakeLists.txt, kiosk_targets)"
done

work=$(mktemp -d /tmp/kiosk-package.XXXXXX)
cleanup() {
    dpkg --purge kiosk-recharge >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# No lintian error; its warnings are shown (no manual pages, for one).
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt" >&2; fail "lintian reports errors"; }
grep -v '^running with root' "$work/lintian.txt" || true
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null 2>&1 ||
    fail "the package does not install"
id kiosk >/dev/null || fail "no kiosk user after installing"
[[ $(stat -c %U:%a /var/lib/kiosk) == kiosk:750 ]] || fail "/var/lib/kiosk is $(stat -c %U:%a /var/lib/kiosk)"
[[ $(stat -c %G:%a /etc/kiosk/kiosk.conf) == kiosk:640 ]] || fail "kiosk.conf is $(stat -c %G:%a /etc/kiosk/kiosk.conf)"
grep -qx /etc/kiosk/kiosk.conf /var/lib/dpkg/info/kiosk-recharge.conffiles || fail "kiosk.conf is not a conffile"

# kioskctl reads the installed configuration by default: its store is not created yet.
status=0
out=$(runuser -u kiosk -- env -i PATH=/usr/bin:/bin HOME=/var/lib/kiosk kioskctl status 2>&1) || status=$?
[[ $status == 2 && $out == *"/var/lib/kiosk/store.db does not exist"* ]] ||
    fail "kioskctl status without a store ended with $status: $out"

out=$(systemd-analyze verify /lib/systemd/system/kiosk.service 2>&1) || fail "systemd-analyze verify: $out"
[[ -z $out ]] || fail "systemd-analyze verify: $out"

# A store and a data folder of the kiosk user's own, so that a kiosk installed on
# this machine is left alone.
chown kiosk:kiosk "$work"
chmod 755 "$work"
cat >"$work/kiosk.conf" <<CONF
[database]
connection = Provider=SQLITE;Data Source=$work/store.db
[kiosk]
dataFolder = $work
CONF
cat >"$work/check.kscript" <<'SCRIPT'
screen frmHome
key 9
key Enter
expect lblMensagem "Código 9 não encontrado. Confira o código e digite de novo."
click blbIdiomaEs
click dxbTeclado1
click dxbTclCorrigir
SCRIPT
for c in 0 0 0 0 0 0 0 0 0 0 0 0 1 0 1; do echo "key $c"; done >>"$work/check.kscript"
cat >>"$work/check.kscript" <<'SCRIPT'
key Enter
screen frmRecSaldo
expect frmRecSaldo "Recarga de Tarjeta"
expect blsNome "Maria da Conceição Souza"
expect lblVrTotSalCons 157,50
click bbbVoltar
screen frmHome
expect lblTitulo "Recarga Cartão"
SCRIPT
chmod 644 "$work"/kiosk.conf "$work"/check.kscript
as_kiosk() { runuser -u kiosk -- env -i PATH=/usr/bin:/bin HOME="$work" KIOSK_CONFIG="$work/kiosk.conf" "$@"; }
as_kiosk kioskctl init-db
as_kiosk kioskctl demo-data
as_kiosk kioskctl demo-files "$work"
install -d -o kiosk -g kiosk -m 700 "$work/run"
as_kiosk XDG_RUNTIME_DIR="$work/run" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    QT_QPA_PLATFORM=wayland timeout 120 cage -- \
    sh -c "kiosk --script '$work/check.kscript' >'$work/kiosk.log' 2>&1; echo \$? >'$work/status'" \
    >"$work/cage.log" 2>&1 || true
status=$(cat "$work/status" 2>/dev/null || echo none)
[[ $status == 0 ]] || { cat "$work/cage.log" "$work/kiosk.log" >&2; fail "the kiosk under cage ended with $status"; }
# Quiet by default: no notice of Qt's (the Wayland platform's, for one), no session line.
if grep -v -e '^kiosk\.[a-z]*: ' -e '^kiosk: ' "$work/kiosk.log" | grep -q . || grep -q 'session open' "$work/kiosk.log"; then
    cat "$work/kiosk.log" >&2
    fail "the kiosk logged more than its warnings at the default level"
fi

dpkg --purge kiosk-recharge >/dev/null
[[ ! -e /var/lib/kiosk && ! -e /etc/kiosk/kiosk.conf ]] || fail "purge left /var/lib/kiosk or /etc/kiosk"
echo "check-package: lintian, unit, install, the kiosk under cage and purge ok"
