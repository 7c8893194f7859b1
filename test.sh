#!/usr/bin/env bash
# Installs what is missing, builds with tests, starts a throwaway PostgreSQL on
# loopback, runs every test with CTest, then builds the Debian package and checks it
# in a clean Debian 12 root booted in a container (scripts/check-appliance.sh):
# nothing is installed or removed on this machine. Non-zero exit on any failure; the
# appliance check is skipped, and says so, where no container can be booted.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_BUILD_TESTS=ON -DKIOSK_WERROR=ON >/dev/null
cmake --build build
source scripts/throwaway-postgres.sh
ctest --test-dir build --output-on-failure -j2 "$@"
status=0
scripts/check-appliance.sh build || status=$?
[[ $status == 0 || $status == 77 ]] || exit $status
