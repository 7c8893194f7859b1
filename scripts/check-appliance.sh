#!/usr/bin/env bash
# The kiosk as a technician installs it, on a machine of its own: builds the Debian
# package from BUILD-DIR (and the same tree as a later release, for the upgrade),
# checks it with lintian (no error, no hardening tag) and its unit with
# systemd-analyze (verify; security exposure at most 2.0), then boots a clean
# Debian 12 root with systemd-nspawn and, inside it: installs the package with apt
# without recommends, follows the README's install steps, enables the service with a
# drop-in for the headless backend and checks the kiosk's day (home screen, the
# journal, a crash, a stop, the compositor's picture against the kiosk's own, an
# upgrade, remove, purge with open purchases, a deleted conffile), then installs it
# again with recommends. Nothing is installed on the machine running the check.
#
# The clean root comes from debootstrap once and is kept in $KIOSK_APPLIANCE_CACHE
# (default /var/cache/kiosk-appliance); every run boots a throwaway copy of it
# (--ephemeral), so the cached root stays as debootstrap made it. Packages apt
# fetches are kept there too.
#
# Exit status: 0 passed, 1 failed, 77 skipped (not root, no container can be booted,
# no Debian mirror), with "SKIPPED: reason".
# Usage: scripts/check-appliance.sh BUILD-DIR
#        (inside the booted root it runs as: check-appliance.sh --in-root)
set -euo pipefail

skip_code=77
fail() {
    echo "check-appliance: FAIL: $*" >&2
    exit 1
}
skip() {
    echo "check-appliance: SKIPPED: $*"
    exit $skip_code
}

# ---------------------------------------------------------------------------
# Inside the booted root (kiosk-appliance-check.service), as root. /check holds the
# packages and receives the screenshots; what is printed goes to /check/in-root.log.
in_root() {
    export DEBIAN_FRONTEND=noninteractive PATH=/usr/sbin:/usr/bin:/sbin:/bin
    trap 'echo "check-appliance: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
    # A failure here shows what the service said.
    fail() {
        echo "check-appliance: FAIL: $*" >&2
        journalctl -u kiosk --no-pager -n 40 2>/dev/null || true
        exit 1
    }
    # The kiosk user reads the check's scripts here and writes its pictures.
    chmod 755 /check
    install -d -m 1777 /check/shots
    cd /check
    local deb next
    deb=$(ls /check/pkg/kiosk-recharge_*.deb)
    next=$(ls /check/pkg-next/kiosk-recharge_*.deb)
    step() { echo "--- $*"; }
    as_kiosk() { runuser -u kiosk -- "$@"; }
    wait_for() { # wait_for SECONDS DESCRIPTION COMMAND...: polls every half second
        local limit=$1 what=$2
        shift 2
        for ((i = 0; i < limit * 2; i++)); do
            if "$@" >/dev/null 2>&1; then return 0; fi
            sleep 0.5
        done
        fail "$what (waited $limit s)"
    }
    main_pid() { systemctl show -P MainPID kiosk.service; }
    # Processes of the kiosk user (NAME: only those of that name), from /proc: the
    # clean root has no procps.
    kiosk_user_pids() {
        local p
        for p in /proc/[0-9]*; do
            [[ $(stat -c %U "$p" 2>/dev/null) == kiosk ]] || continue
            [[ -z ${1:-} || $(cat "$p/comm" 2>/dev/null) == "$1" ]] && echo "${p#/proc/}"
        done
        return 0
    }
    # The kiosk's own process: the child of the shell kiosk-session runs in cage.
    kiosk_pid() { kiosk_user_pids kiosk; }
    kiosk_replaced() { [[ -n $(kiosk_pid) && $(kiosk_pid) != "$1" ]]; }
    kiosk_up() { [[ -n $(kiosk_pid) ]] && [[ $(systemctl is-active kiosk.service) == active ]]; }

    step "apt: the package without recommends"
    apt-get update -qq >/dev/null 2>&1 || fail "apt-get update in the root"
    apt-get install -y -qq --no-install-recommends "$deb" >/check/apt.log 2>&1 ||
        { cat /check/apt.log; fail "the package does not install without recommends"; }
    dpkg-query -W -f='${Status}\n' libpam-systemd 2>/dev/null | grep -q "install ok" &&
        fail "libpam-systemd came in without recommends: the check would not tell"
    id kiosk >/dev/null || fail "no kiosk user"
    id -nG kiosk | tr ' ' '\n' | grep -qx input && fail "the kiosk user is in the input group"
    [[ $(stat -c %U:%a /var/lib/kiosk) == kiosk:750 ]] || fail "/var/lib/kiosk is $(stat -c %U:%a /var/lib/kiosk)"
    [[ $(stat -c %G:%a /etc/kiosk/kiosk.conf) == kiosk:640 ]] || fail "kiosk.conf is $(stat -c %G:%a /etc/kiosk/kiosk.conf)"
    systemctl is-enabled kiosk.service >/dev/null 2>&1 && fail "the package enabled the service by itself"

    step "the README's install steps"
    local status=0 out
    runuser -u kiosk -- kioskctl init-db >/dev/null || fail "kioskctl init-db as the kiosk user"
    runuser -u kiosk -- kioskctl demo-data >/dev/null || fail "kioskctl demo-data"
    out=$(runuser -u kiosk -- kioskctl status 2>&1) || status=$?
    [[ $status == 1 && $out == *"PARAMETROSZEL.CDS is missing"*"kioskctl demo-files /var/lib/kiosk"* ]] ||
        fail "status without the local files ended with $status: $out"
    # Files made for another folder name that folder in DSDIRCAD: status says so.
    mkdir -p /root/files && KIOSK_CONFIG=/dev/null kioskctl demo-files /root/files >/dev/null
    install -o kiosk -g kiosk -m 640 /root/files/PARAMETROSZEL.CDS /var/lib/kiosk/
    status=0
    out=$(runuser -u kiosk -- kioskctl status 2>&1) || status=$?
    [[ $status == 1 && $out == *"ConfTipoRece.cds (the receipt types"* ]] ||
        fail "status with the receipt types out of reach ended with $status: $out"
    runuser -u kiosk -- kioskctl demo-files /var/lib/kiosk >/dev/null || fail "kioskctl demo-files"
    status=0
    out=$(runuser -u kiosk -- kioskctl status 2>&1) || status=$?
    [[ $status == 1 && $out == *"terminal  FAIL terminal not configured"* ]] ||
        fail "status with no terminal configured ended with $status: $out"
    echo "$out"
    # A purchase with no terminal: refused, nothing charged, nothing credited.
    buy() { # buy SCRIPT-LINES...: one credit purchase of 2,00 by the demo consumer, offscreen
        printf '%s\n' "click blbMenu1" "click dxbTeclado2" "click dxbTclEnter" "click blbCredit" "answer yes" "$@" \
            >/check/buy.kscript
        runuser -u kiosk -- env QT_QPA_PLATFORM=offscreen HOME=/var/lib/kiosk kiosk --consumer 000000000000101 \
            --script /check/buy.kscript
    }
    buy "wait-purchase" "expect lblText \"Pagamento não aprovado. O cartão não foi cobrado.\"" >/check/buy.log 2>&1 ||
        { cat /check/buy.log; fail "a purchase with no terminal was not refused"; }
    grep -q "no payment terminal is configured" /check/buy.log || fail "the refusal does not say why: $(cat /check/buy.log)"
    # Our stand-in card-payment library (the package ships none), named for the rest of the
    # check as a technician names the provider's: the kiosk sells.
    printf '\n[terminal]\nlibrary = /check/libclisitef-standin.so\nterminal = KS000001\nmode = approve\ndelayMs = 0\n' \
        >>/etc/kiosk/kiosk.conf
    buy "wait-purchase" >/check/buy.log 2>&1 || { cat /check/buy.log; fail "a purchase with the stand-in library"; }
    out=$(runuser -u kiosk -- kioskctl status --json 2>&1) || true
    [[ $out == *'"open":0,'* && $out == *'"state":"confirmed"'* && $out == *'"terminal":{"detail":"CliSiTef library'*'"ok":true'* ]] ||
        fail "the kiosk did not sell: $out"

    step "the service, headless"
    mkdir -p /etc/systemd/system/kiosk.service.d
    printf '[Service]\nEnvironment=WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1\n' \
        >/etc/systemd/system/kiosk.service.d/headless.conf
    systemctl daemon-reload
    systemctl enable --now kiosk.service >/dev/null 2>&1 || fail "systemctl enable --now kiosk"
    wait_for 60 "the kiosk did not come up under the service" kiosk_up
    # The kiosk settles its journal and opens the home screen; a home screen that
    # stays up is one whose start went through.
    sleep 3
    kiosk_up || { journalctl -u kiosk --no-pager | tail -30; fail "the kiosk did not stay up"; }
    status=0
    out=$(runuser -u kiosk -- kioskctl status 2>&1) || status=$?
    [[ $status == 0 && $out == *"service   ok"* ]] || fail "status with the service running ended with $status: $out"

    step "the journal holds the kiosk's own messages"
    # A line of the kiosk's on stderr: a code nobody has is not an error, a missing
    # local file is; a warning the kiosk writes at start with the store gone.
    mv /var/lib/kiosk/store.db /var/lib/kiosk/store.db.away
    systemctl restart kiosk.service
    wait_for 30 "no message of the kiosk's in journalctl -u kiosk" \
        sh -c 'journalctl -u kiosk --no-pager -o cat | grep -q "/var/lib/kiosk/store.db does not exist; create it with kioskctl init-db"'
    mv /var/lib/kiosk/store.db.away /var/lib/kiosk/store.db
    systemctl restart kiosk.service
    wait_for 60 "the kiosk did not come back" kiosk_up

    step "a crash is a failure and the service starts again"
    local before after
    before=$(kiosk_pid)
    kill -SEGV "$before"
    wait_for 30 "the crash was not recorded as a failure" \
        sh -c 'journalctl -u kiosk --no-pager -o cat | grep -Eq "(code=(killed|dumped), status=11/SEGV|signal=SEGV|status=11/SEGV)"'
    wait_for 30 "the service did not start the kiosk again" kiosk_replaced "$before"
    [[ $(systemctl show -P NRestarts kiosk.service) -ge 1 ]] || fail "no restart counted"

    step "the compositor's picture is the kiosk's"
    apt-get install -y -qq --no-install-recommends grim >/dev/null 2>&1 || fail "grim does not install"
    wait_for 60 "the kiosk did not come back" kiosk_up
    sleep 3
    XDG_RUNTIME_DIR=/run/kiosk WAYLAND_DISPLAY=wayland-0 grim /check/shots/service-home.png ||
        fail "grim could not take the compositor's picture"
    runuser -u kiosk -- env QT_QPA_PLATFORM=offscreen HOME=/var/lib/kiosk kiosk \
        --screenshot /check/shots/service-home.kiosk.png >/dev/null 2>&1 ||
        fail "the kiosk's own picture of the home screen"
    screen_pictures

    step "systemctl stop ends cleanly"
    systemctl stop kiosk.service
    [[ $(systemctl is-failed kiosk.service) != failed ]] ||
        { journalctl -u kiosk --no-pager | tail -20; fail "the unit failed on stop"; }
    [[ -n $(kiosk_user_pids) ]] && fail "processes of the kiosk user left after stop"
    systemctl start kiosk.service
    wait_for 60 "the kiosk did not start again" kiosk_up

    step "an upgrade restarts the running kiosk"
    before=$(kiosk_pid)
    apt-get install -y -qq --no-install-recommends "$next" >/check/apt.log 2>&1 ||
        { cat /check/apt.log; fail "the upgrade does not install"; }
    wait_for 60 "the kiosk was not started again by the upgrade" kiosk_replaced "$before"
    wait_for 60 "the kiosk is not up after the upgrade" kiosk_up
    grep -q '(deleted)' <<<"$(readlink /proc/"$(kiosk_pid)"/exe)" && fail "the kiosk runs deleted programs"
    [[ $(systemctl is-failed kiosk.service) != failed ]] || fail "the unit failed through the upgrade"

    step "postinst survives a deleted configuration"
    cp -a /etc/kiosk/kiosk.conf /root/kiosk.conf.saved
    rm /etc/kiosk/kiosk.conf
    dpkg-reconfigure kiosk-recharge >/check/apt.log 2>&1 || apt-get install -y -qq --reinstall "$next" >>/check/apt.log 2>&1 ||
        { cat /check/apt.log; fail "postinst fails without /etc/kiosk/kiosk.conf"; }
    cp -a /root/kiosk.conf.saved /etc/kiosk/kiosk.conf

    step "remove keeps the data"
    apt-get remove -y -qq kiosk-recharge >/check/apt.log 2>&1 || { cat /check/apt.log; fail "remove"; }
    [[ -s /var/lib/kiosk/store.db && -e /etc/kiosk/kiosk.conf ]] || fail "remove took the data or the configuration"
    [[ $(systemctl is-failed kiosk.service) != failed ]] || fail "the unit failed on remove"
    [[ -n $(kiosk_user_pids) ]] && fail "the kiosk still runs after remove"

    step "purge keeps a journal with open purchases, and disables the service"
    apt-get install -y -qq --no-install-recommends "$next" >/check/apt.log 2>&1 || { cat /check/apt.log; fail "reinstall"; }
    systemctl stop kiosk.service
    # A purchase cut off after its order was journalled: the kiosk killed while the
    # terminal waits for the card.
    sed -i 's/^delayMs = 0$/delayMs = 20000/' /etc/kiosk/kiosk.conf
    buy "wait 20000" >/dev/null 2>&1 &
    wait_for 30 "the purchase was not journalled" sh -c \
        'runuser -u kiosk -- kioskctl status --json | grep -q "\"open\":1,"'
    kill -9 "$(kiosk_pid)"
    wait 2>/dev/null || true
    [[ -L /etc/systemd/system/graphical.target.wants/kiosk.service ]] || fail "the service is not enabled before purge"
    apt-get purge -y -qq kiosk-recharge >/check/apt.log 2>&1 || { cat /check/apt.log; fail "purge"; }
    cat /check/apt.log
    [[ -e /var/lib/kiosk/purchase-journal.db ]] || fail "purge deleted a journal with an open purchase"
    [[ -e /etc/systemd/system/graphical.target.wants/kiosk.service ]] && fail "purge left the service enabled"
    rm -rf /var/lib/kiosk /etc/systemd/system/kiosk.service.d

    step "apt: the package with recommends, the service on a fresh configuration"
    apt-get install -y -qq "$deb" >/check/apt.log 2>&1 || { cat /check/apt.log; fail "the package does not install with recommends"; }
    [[ -e /etc/kiosk/kiosk.conf ]] || fail "no configuration after a purge and an install"
    runuser -u kiosk -- kioskctl init-db >/dev/null
    runuser -u kiosk -- kioskctl demo-data >/dev/null
    runuser -u kiosk -- kioskctl demo-files /var/lib/kiosk >/dev/null
    mkdir -p /etc/systemd/system/kiosk.service.d
    printf '[Service]\nEnvironment=WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1\n' \
        >/etc/systemd/system/kiosk.service.d/headless.conf
    systemctl daemon-reload
    systemctl enable --now kiosk.service >/dev/null 2>&1
    wait_for 60 "the kiosk did not come up with recommends" kiosk_up
    sleep 3
    kiosk_up || fail "the kiosk did not stay up with recommends"
    status=0
    out=$(runuser -u kiosk -- kioskctl status 2>&1) || status=$?
    [[ $status == 1 && $out == *"terminal not configured"* && $out == *"service   ok"* ]] ||
        fail "status of a fresh install ended with $status: $out"
    apt-get purge -y -qq kiosk-recharge >/check/apt.log 2>&1 || { cat /check/apt.log; fail "purge"; }
    [[ ! -e /var/lib/kiosk ]] || fail "purge of a kiosk without open purchases left /var/lib/kiosk"
    echo "--- all passed"
}

# The kiosk under cage as the unit runs it (kiosk-session, the unit's platform) at
# three output sizes: cage's output is a window of an Xvfb screen (wlroots' X11
# backend) resized to each. A script plays one consumer's screen and saves the
# kiosk's own picture at each step; grim takes the compositor's picture at the same
# moment. The host compares them.
screen_pictures() {
    local env=(XDG_RUNTIME_DIR=/run/kiosk-screen HOME=/var/lib/kiosk KIOSK_CONFIG=/etc/kiosk/kiosk.conf
               QT_QPA_PLATFORM=xcb DISPLAY=:7 WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1)
    apt-get install -y -qq --no-install-recommends xvfb xdotool x11-utils >/dev/null 2>&1 ||
        fail "xvfb, xdotool do not install"
    install -d -o kiosk -g kiosk -m 700 /run/kiosk-screen
    Xvfb :7 -screen 0 1920x1080x24 -nolisten tcp >/check/xvfb.log 2>&1 &
    local xvfb=$! size session shot window
    wait_for 10 "Xvfb did not start" test -S /tmp/.X11-unix/X7
    for size in 800x600 1024x768 1920x1080; do
        {
            echo "screen frmRecSaldo"
            echo "wait 2000"
            echo "screenshot /check/shots/$size-balances.kiosk.png"
            echo "wait 3000"
            echo "click blbMenu2"
            echo "click dxbTeclado1"
            echo "click dxbTeclado2"
            echo "click dxbTeclado3"
            echo "expect lblVrSaldo 1,23"
            echo "screenshot /check/shots/$size-typed.kiosk.png"
            echo "wait 3000"
        } >/check/screen.kscript
        runuser -u kiosk -- env "${env[@]}" /usr/lib/kiosk/kiosk-session --consumer 000000000000101 \
            --script /check/screen.kscript >/check/screen.log 2>&1 &
        session=$!
        # cage's output window on the Xvfb screen, then its size.
        window_of_cage() { DISPLAY=:7 xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | head -1; }
        cage_window_open() { [[ -n $(window_of_cage) ]]; }
        wait_for 30 "cage's output window did not open" cage_window_open
        window=$(window_of_cage)
        DISPLAY=:7 xdotool windowsize "$window" "${size%x*}" "${size#*x}"
        for shot in balances typed; do
            wait_for 30 "the kiosk under cage did not save its picture $size-$shot" \
                test -s /check/shots/$size-$shot.kiosk.png
            sleep 1
            XDG_RUNTIME_DIR=/run/kiosk-screen WAYLAND_DISPLAY=wayland-0 grim /check/shots/$size-$shot.png ||
                fail "grim under the kiosk's cage"
        done
        wait $session || { cat /check/screen.log; fail "the kiosk's screen script under cage failed ($size)"; }
    done
    kill $xvfb
}

if [[ ${1:-} == --in-root ]]; then
    in_root >/check/in-root.log 2>&1
    exit 0
fi

# ---------------------------------------------------------------------------
# On the machine running the check: nothing here installs or removes a package.
[[ $# == 1 ]] || { echo "usage: $0 BUILD-DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$0")/.."
[[ $(id -u) == 0 ]] || skip "boots a container: run as root"
for tool in debootstrap systemd-nspawn lintian systemd-analyze cpack compare-im6.q16 convert-im6.q16 identify-im6.q16; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
done
started=$(date +%s)

cmake --build "$build" --target kiosk kioskctl Pkg_kvb52814 clisitef-standin kiosk_changelog >/dev/null
rm -rf "$build/package" "$build/package-next"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null 2>&1) || fail "cpack"
(cd "$build" && KIOSK_PACKAGE_RELEASE=99 cpack -G DEB -B "$build/package-next" >/dev/null 2>&1) || fail "cpack (next)"
deb=$(ls "$build"/package/kiosk-recharge_*.deb)
echo "check-appliance: $(basename "$deb")"

# Every shared library the build makes is one the programs load: all are packaged, but
# the stand-in card-payment library, which only the demo and the tests load (a kiosk in
# the field loads its payment provider's library).
contents=$(dpkg-deb -c "$deb")
for lib in "$build"/bin/*.so; do
    [[ $(basename "$lib") == libclisitef-standin.so ]] && continue
    grep -q "/usr/lib/kiosk/$(basename "$lib")\$" <<<"$contents" ||
        fail "$(basename "$lib") is not in the package (packaging/CMakeLists.txt, kiosk_targets)"
done

work=$(mktemp -d /tmp/kiosk-appliance.XXXXXX)
trap 'rm -rf "$work"' EXIT
# No lintian error and none of its hardening tags; the rest of its notes are shown.
lintian --fail-on error --display-info "$deb" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt" >&2; fail "lintian reports errors"; }
grep -v '^running with root' "$work/lintian.txt" || true
grep -q 'hardening-' "$work/lintian.txt" && fail "lintian: the programs lack hardening flags"

unit=packaging/kiosk.service
out=$(systemd-analyze verify "$unit" 2>&1 | grep -v -e 'kiosk-session' -e "Command 'man " -e "Command .* is not executable") || true
[[ -z $out ]] || fail "systemd-analyze verify: $out"
exposure=$(systemd-analyze security --offline=yes "$unit" 2>/dev/null | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }' || fail "systemd-analyze security: exposure ${exposure:-unknown} (at most 2.0)"
echo "check-appliance: lintian ok, unit exposure $exposure"

# The clean root, made once.
cache=${KIOSK_APPLIANCE_CACHE:-/var/cache/kiosk-appliance}
root=$cache/bookworm
mkdir -p "$cache/archives"
exec 9>"$cache/lock"
flock 9
if [[ ! -x $root/sbin/init ]]; then
    echo "check-appliance: making the clean Debian 12 root (debootstrap, once, a few minutes)"
    rm -rf "$root.new"
    debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,ca-certificates bookworm "$root.new" \
        http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 ||
        { rm -rf "$root.new"; tail -3 "$work/debootstrap.log"; skip "debootstrap cannot reach the Debian mirror"; }
    mv "$root.new" "$root"
fi
nspawn=(systemd-nspawn -q --register=no --keep-unit --ephemeral -D "$root")
"${nspawn[@]}" --pipe /bin/true >/dev/null 2>&1 || skip "systemd-nspawn cannot start a container on this machine"
"${nspawn[@]}" --pipe sh -c 'apt-get update -qq' >/dev/null 2>&1 || skip "no network to the Debian mirror from the container"

mkdir -p "$work/pkg" "$work/pkg-next"
cp "$deb" "$work/pkg/"
cp "$build"/package-next/kiosk-recharge_*.deb "$work/pkg-next/"
cp "$here" "$work/check-appliance.sh"
# The card-payment library the check names in the kiosk's configuration: our stand-in.
cp "$build/bin/libclisitef-standin.so" "$work/"
cat >"$work/check.service" <<'UNIT'
[Unit]
Description=The kiosk package's check
After=multi-user.target
[Service]
Type=exec
ExecStart=/bin/bash /check/check-appliance.sh --in-root
ExecStopPost=/bin/sh -c 'if grep -qx -- "--- all passed" /check/in-root.log; then systemctl exit 0; else systemctl exit 1; fi'
UNIT
echo "check-appliance: booting the clean root"
status=0
timeout 1500 "${nspawn[@]}" -b --bind="$work":/check --bind="$cache/archives":/var/cache/apt/archives \
    --bind-ro="$work/check.service":/etc/systemd/system/kiosk-appliance-check.service \
    systemd.wants=kiosk-appliance-check.service >"$work/console.log" 2>&1 || status=$?
cat "$work/in-root.log" 2>/dev/null || true
[[ -s $work/in-root.log ]] || tail -30 "$work/console.log"
[[ $status == 0 ]] || fail "inside the booted root (status $status)"

# The compositor's pictures against the kiosk's own: the 800 x 600 frame in the
# middle of the output is the kiosk's picture, the rest of the output is black.
for shot in service-home {800x600,1024x768,1920x1080}-{balances,typed}; do
    out=$work/shots/$shot.png
    read -r w h < <(identify-im6.q16 -format '%w %h\n' "$out")
    x=$(((w - 800) / 2)) y=$(((h - 600) / 2))
    differ=$(compare-im6.q16 -metric AE -fuzz 5% "$work/shots/$shot.kiosk.png" "$out[800x600+$x+$y]" null: 2>&1 || true)
    outside=$(convert-im6.q16 "$out" -fill black -draw "rectangle $x,$y $((x + 799)),$((y + 599))" -format '%[max]' info:)
    echo "check-appliance: $shot at ${w}x${h}: $differ pixel(s) of the frame differ from the kiosk's, brightest outside: $outside"
    [[ $differ =~ ^[0-9]+$ ]] && ((differ <= 800 && outside == 0)) ||
        { mkdir -p "$build/appliance-shots" && cp "$work"/shots/* "$build/appliance-shots/";
          fail "the compositor does not show the kiosk's picture ($shot; pictures in $build/appliance-shots)"; }
done
echo "check-appliance: passed in $(($(date +%s) - started)) s"
