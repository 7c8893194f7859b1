#!/usr/bin/env bash
# Installs what is missing, builds with tests, starts a throwaway PostgreSQL on
# loopback, runs every test with CTest, then builds the Debian package and checks
# it installed (lintian, the unit, the kiosk under cage). Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_BUILD_TESTS=ON -DKIOSK_WERROR=ON >/dev/null
cmake --build build
source scripts/throwaway-postgres.sh
ctest --test-dir build --output-on-failure -j2 "$@"
scripts/check-package.sh build
