#!/usr/bin/env bash
# Builds and runs the benchmark against the embedded SQLite store and a throwaway
# PostgreSQL. Pass --small for a quick run; other options: build/bin/kiosk-bench --help.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kiosk-bench
# A store server is sized for its data: keep the statement table's indexes in memory.
export KIOSK_PG_OPTS="${KIOSK_PG_OPTS:--c shared_buffers=4GB -c effective_cache_size=16GB -c max_wal_size=4GB}"
source scripts/throwaway-postgres.sh
build/bin/kiosk-bench "$@"
