#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if any is missing.
# dpkg-dev, lintian and systemd build and check the kiosk's Debian package; cage and
# qt6-wayland run the installed kiosk under the compositor (scripts/check-package.sh).
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config fonts-dejavu-core
          qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
          libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql libpq-dev libqt6sql6-odbc
          postgresql postgresql-contrib postgresql-15-auto-failover pg-auto-failover-cli sqlite3 openssl
          dpkg-dev lintian systemd cage xwayland qt6-wayland adduser "$@")

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
