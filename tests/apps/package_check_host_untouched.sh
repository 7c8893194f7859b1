#!/usr/bin/env bash
# A kiosk installed on the machine that runs ./test.sh survives its package check.
# The check (the script given) runs as if as root, with every tool that could
# install, remove or purge a package, touch a service or a user on this machine
# replaced by a recorder, and the build and container tools by stand-ins that fail
# or do nothing. It must ask for none of those changes.
# Usage: package_check_host_untouched.sh CHECK-SCRIPT
set -euo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/build/bin" "$work/cache"
calls=$work/calls
touch "$calls"

shim() { # shim NAME BODY: a command NAME that records its call, then runs BODY
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n%s\n' "$1" "$calls" "$2" >"$work/bin/$1"
    chmod +x "$work/bin/$1"
}
for tool in dpkg apt-get apt aptitude systemctl deb-systemd-invoke deb-systemd-helper adduser deluser \
    useradd userdel groupdel runuser chown; do
    shim "$tool" 'exit 0'
done
shim id '[ "$1" = -u ] && [ $# = 1 ] && { echo 0; exit 0; }; exec /usr/bin/id "$@"'
shim cmake 'exit 0'
# cpack -G DEB -B DIR: an empty package in DIR.
shim cpack 'while [ $# -gt 0 ]; do [ "$1" = -B ] && mkdir -p "$2" && : >"$2/kiosk-recharge_1.0-1_amd64.deb"; shift; done'
# The build's one library, and a package that holds it.
: >"$work/build/bin/libhostcore.so"
shim dpkg-deb 'echo "-rw-r--r-- root/root 1 2026-12-09 00:00 ./usr/lib/kiosk/libhostcore.so"'
shim lintian 'exit 0'
shim systemd-analyze '[ "$1" = security ] && echo "-> Overall exposure level for kiosk.service: 1.0 OK"; exit 0'
shim debootstrap 'exit 1'
shim systemd-nspawn 'exit 1'
for tool in compare-im6.q16 convert-im6.q16 identify-im6.q16; do shim "$tool" 'exit 0'; done

status=0
PATH="$work/bin:$PATH" KIOSK_APPLIANCE_CACHE="$work/cache" "$check" "$work/build" >"$work/out" 2>&1 || status=$?
changes=$(grep -E -e '^dpkg .*(-i|--install|-r|--remove|-P|--purge|--configure|--unpack)' \
    -e '^(apt-get|apt|aptitude) .*(install|remove|purge|upgrade|autoremove)' \
    -e '^(systemctl|deb-systemd-invoke|deb-systemd-helper) .*(start|stop|restart|enable|disable|mask|purge)' \
    -e '^(adduser|deluser|useradd|userdel|groupdel|chown|runuser) ' "$calls" || true)
if [[ -n $changes ]]; then
    cat "$work/out"
    echo "the package check would change this machine:"
    echo "$changes"
    exit 1
fi
# With no container to boot, the check says it skipped; it never passes or fails silently.
[[ $status == 77 ]] && grep -q '^check-appliance: SKIPPED: ' "$work/out" ||
    { cat "$work/out"; echo "the check ended with $status, not skipped"; exit 1; }
echo "package check: nothing installed, removed or purged on this machine"
