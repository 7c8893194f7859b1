#!/usr/bin/env bash
# Installs the Debian packages the build and the demo need, if any is missing, and
# with everything but --demo those the tests need too: PostgreSQL and
# pg_auto_failover for the store tests; dpkg-dev, lintian and systemd (systemd-analyze)
# to build and check the kiosk's Debian package; debootstrap and systemd-container to
# boot the clean Debian 12 root the package is checked in (scripts/check-appliance.sh),
# and imagemagick to compare the compositor's picture there with the kiosk's own.
# Usage: scripts/install-deps.sh [--demo] [PACKAGE...]
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config fonts-dejavu-core
          qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
          libqt6sql6-sqlite libsqlite3-dev)
if [[ ${1:-} == --demo ]]; then
    shift
else
    packages+=(libqt6sql6-psql libpq-dev libqt6sql6-odbc
               postgresql postgresql-contrib postgresql-15-auto-failover pg-auto-failover-cli sqlite3 openssl
               dpkg-dev lintian systemd debootstrap systemd-container imagemagick)
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
