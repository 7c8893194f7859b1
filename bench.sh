#!/usr/bin/env bash
# Builds and runs the benchmark against the embedded SQLite store and a throwaway
# PostgreSQL. Pass --small for a quick run; other options: build/bin/kiosk-bench --help.
#
# ./bench.sh --screen [kiosk-screen-bench options] measures the recharge screen
# instead: launch to first paint with the demo consumer's balances, resident
# memory and idle CPU, against a bare Qt window of the same size, offscreen and
# under Xvfb (about half a minute). Add --wait-script bench/card-type-wait.kscript
# to measure the idle CPU of the card type wait as well.
#
# ./bench.sh --home [SESSIONS] measures the kiosk that runs all day: code entered on
# the home screen to the recharge screen painted with the balances, over SESSIONS
# consumer sessions in one running kiosk (default 1000; the first 200 are 200
# different consumers), against the cold start to the balances of the same store,
# and the resident memory after 10 sessions and after all of them.
#
# ./bench.sh --reconcile [COUNT] times `kioskctl reconcile` for a day of COUNT card purchases
# (default 10000) on the embedded store: each one's credit in the store, confirmed on the
# terminal and settled in the journal. Median of 5.
#
# ./bench.sh --failover loses the primary of a store with a standby five times
# while kiosks recharge and prints the pause they see (a few minutes).
set -euo pipefail
cd "$(dirname "$0")"

if [[ ${1:-} == --home ]]; then
    sessions=${2:-1000}
    scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
    cmake --build build --target kiosk kioskctl Pkg_kvb52814 clisitef-standin
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export KIOSK_CONFIG=/dev/null KIOSK_TERMINAL_LIBRARY="$PWD/build/bin/libclisitef-standin.so" KIOSK_SITEF_TERMINAL=KS000001 KIOSK_TERMINAL_MODE=approve KIOSK_DATA_DIR="$work" KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db"
    export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    build/bin/kioskctl init-db
    build/bin/kioskctl demo-data
    build/bin/kioskctl demo-files "$work"
    # 200 more consumers, each with the demo consumer's statement lines and balances.
    sqlite3 -bail "$work/store.db" <<'SQL'
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)
INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR)
SELECT '000000000000001', printf('9%014d', i), 'Consumidor ' || i FROM n;
INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, CDTIPORECE, IDTPMOVEXT,
                         DSOPEEXTCONS, VRMOVEXTCONS, VRSALDCONEXT, CDFILIAL, CDCAIXA)
SELECT e.CDCLIENTE, c.CDCONSUMIDOR, e.CDFAMILISALD, e.DTMOVEXTCONS, e.NRSEQMOVEXT, e.CDTIPORECE, e.IDTPMOVEXT,
       e.DSOPEEXTCONS, e.VRMOVEXTCONS, e.VRSALDCONEXT, e.CDFILIAL, e.CDCAIXA
  FROM EXTRATOCONS e, CONSUMIDOR c WHERE e.CDCONSUMIDOR = '000000000000101' AND c.CDCONSUMIDOR LIKE '9%';
INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM)
SELECT s.CDCLIENTE, c.CDCONSUMIDOR, s.CDFAMILISALD, s.VRSALDCONFAM
  FROM SALDOCONS s, CONSUMIDOR c WHERE s.CDCONSUMIDOR = '000000000000101' AND c.CDCONSUMIDOR LIKE '9%';
SQL
    cold=()
    for _ in $(seq 20); do
        cold+=("$(build/bin/kiosk --consumer 900000000000001 --measure-first-paint | sed -n 's/^first-paint ms=\([0-9.]*\).*/\1/p')")
    done
    cold_median=$(printf '%s\n' "${cold[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    echo "cold-start sessions=20 median-ms=$cold_median (launch to the first paint with the balances)"
    build/bin/kiosk --measure-home "$sessions" | tee "$work/home.txt"
    awk -v cold="$cold_median" '/^home-session sessions=200 / { split($3, m, "="); printf "median / cold start = %.2f (target at most 0.33)\n", m[2] / cold }' "$work/home.txt"
    exit 0
fi

if [[ ${1:-} == --screen ]]; then
    shift
    scripts/install-deps.sh xvfb xauth
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
    cmake --build build --target kiosk kioskctl Pkg_kvb52814 kiosk-bare-window kiosk-screen-bench clisitef-standin
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # A fresh demo store, so that nothing a previous demo did changes the figures.
    export KIOSK_CONFIG=/dev/null KIOSK_TERMINAL_LIBRARY="$PWD/build/bin/libclisitef-standin.so" KIOSK_SITEF_TERMINAL=KS000001 KIOSK_TERMINAL_MODE=approve KIOSK_DATA_DIR="$work" KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db"
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    build/bin/kioskctl init-db
    build/bin/kioskctl demo-data
    build/bin/kioskctl demo-files "$work"
    QT_QPA_PLATFORM=offscreen build/bin/kiosk-screen-bench "$@"
    echo
    xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb build/bin/kiosk-screen-bench "$@"
    exit 0
fi

if [[ ${1:-} == --journal ]]; then
    # Start to painted balances, resident memory, `kioskctl recover` and `kioskctl terminal`,
    # each with one open purchase (a kiosk killed right after the approval), on a kiosk with
    # no history and on one with COUNT settled purchases (default 100000). Medians of 5.
    count=${2:-100000}
    scripts/install-deps.sh time
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
    cmake --build build --target kiosk kioskctl Pkg_kvb52814 kiosk-journal-history clisitef-standin
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export KIOSK_CONFIG=/dev/null KIOSK_TERMINAL_LIBRARY="$PWD/build/bin/libclisitef-standin.so" KIOSK_SITEF_TERMINAL=KS000001 KIOSK_TERMINAL_MODE=approve QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
    export KIOSK_TERMINAL_DELAY_MS=0
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    printf '%s\n' "click blbMenu1" "click dxbTeclado2" "click dxbTeclado0" "click dxbTeclado0" "click dxbTeclado0" \
        "click dxbTclEnter" "click blbCredit" "answer yes" "wait 3000" >"$work/buy.kscript"
    median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
    for n in 0 "$count"; do
        folder="$work/history-$n"
        mkdir -p "$folder"
        export KIOSK_DATA_DIR="$folder" KIOSK_DB="Provider=SQLITE;Data Source=$folder/store.db"
        export KIOSK_PRINTER_PORT="$folder/receipts.txt"
        build/bin/kioskctl init-db >/dev/null
        build/bin/kioskctl demo-data >/dev/null
        build/bin/kioskctl demo-files "$folder" >/dev/null
        build/bin/kiosk-journal-history "$folder" "$n"
        : >"$work/paint" && : >"$work/rss" && : >"$work/recover" && : >"$work/recover-rss" && : >"$work/terminal"
        for run in 1 2 3 4 5; do
            open_purchase() {
                (KIOSK_TEST_KILL_AT=after-approval build/bin/kiosk --consumer 000000000000101 \
                    --script "$work/buy.kscript" >/dev/null 2>&1 || true) 2>/dev/null
            }
            open_purchase
            out=$(build/bin/kiosk --consumer 000000000000101 --measure-first-paint 2>/dev/null)
            sed -n 's/.*first-paint ms=\([0-9.]*\).*/\1/p' <<<"$out" >>"$work/paint"
            sed -n 's/.*hwm-kb=\([0-9]*\).*/\1/p' <<<"$out" >>"$work/rss"
            open_purchase
            t0=$(date +%s%N)
            /usr/bin/time -f %M -o "$work/rss-one" build/bin/kioskctl recover "$folder" >/dev/null 2>&1 || true
            echo $(((($(date +%s%N) - t0)) / 1000000)) >>"$work/recover"
            cat "$work/rss-one" >>"$work/recover-rss"
            t0=$(date +%s%N)
            build/bin/kioskctl terminal "$folder" >/dev/null 2>&1
            echo $(((($(date +%s%N) - t0)) / 1000000)) >>"$work/terminal"
        done
        printf 'history %7d: start to balances %s ms, peak RSS %s kB; recover %s ms, %s kB; terminal %s ms; journal %s MB\n' \
            "$n" "$(median <"$work/paint")" "$(median <"$work/rss")" "$(median <"$work/recover")" \
            "$(median <"$work/recover-rss")" "$(median <"$work/terminal")" \
            "$(du -m "$folder/purchase-journal.db" | cut -f1)"
    done
    exit 0
fi

if [[ ${1:-} == --reconcile ]]; then
    count=${2:-10000}
    scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build --target kioskctl kiosk-journal-history clisitef-standin
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export KIOSK_CONFIG=/dev/null KIOSK_DATA_DIR="$work" KIOSK_DB="Provider=SQLITE;Data Source=$work/store.db"
    build/bin/kioskctl init-db >/dev/null
    build/bin/kioskctl demo-data >/dev/null
    build/bin/kioskctl demo-files "$work" >/dev/null
    # One purchase every 5 s from 07:00: COUNT of them on 2026-06-01 (up to 17 280).
    build/bin/kiosk-journal-history "$work" "$count" 5
    # Their credits, as the recording writes them: a cash movement and a statement line each.
    sqlite3 -bail "$work/store.db" <<SQL
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $count - 1)
INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQUMOVI, IDTIPOMOVIVE, VRMOVIVEND, CDTIPORECE, DTHRINCMOV,
                      CDCLIENTE, DTMOVIMCAIXA, NRCARTBANCO, CDNSUHOSTTEF)
SELECT '0001', '001', '2026-06-01 06:00:00.000', printf('%010d', i + 1), 'E', 10 + i % 90, '010',
       strftime('%Y-%m-%d %H:%M:%S.000', '2026-06-01 07:00:00', '+' || (i * 5) || ' seconds'), '000000000000001',
       '2026-06-01 00:00:00.000', '4111**1111', printf('%012d', 500000000000 + i) FROM n;
INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, CDTIPORECE, IDTPMOVEXT,
                         DSOPEEXTCONS, VRMOVEXTCONS, VRSALDCONEXT, CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQMOVCAIXA)
SELECT '000000000000001', '000000000000101', '001', DTHRINCMOV, '001', '010', 'C', 'ZEL - Crédito Caixa 001',
       VRMOVIVEND, VRMOVIVEND, CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQUMOVI
  FROM MOVCAIXA WHERE DTABERCAIX = '2026-06-01 06:00:00.000';
SQL
    : >"$work/times"
    for run in 1 2 3 4 5; do
        t0=$(date +%s%N)
        build/bin/kioskctl reconcile --date 2026-06-01 "$work" >"$work/report" || { cat "$work/report"; exit 1; }
        echo $(((($(date +%s%N) - t0)) / 1000000)) >>"$work/times"
    done
    printf 'reconcile: %s purchases on one day, %s ms (median of 5); %s\n' "$count" \
        "$(sort -n "$work/times" | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')" "$(tail -1 "$work/report")"
    exit 0
fi

if [[ ${1:-} == --failover ]]; then
    # Five failovers of a store with a standby (scripts/ha-postgres.sh) while kiosks
    # recharge: the pause a kiosk sees (the primary lost to the first recording that
    # goes through afterwards), median of five; recordings lost must be 0.
    scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
    cmake --build build --target kiosk kioskctl Pkg_kvb52814 clisitef-standin
    figures=$(mktemp)
    trap 'rm -f "$figures"' EXIT
    QT_QPA_PLATFORM=offscreen KIOSK_CONFIG=/dev/null KIOSK_TERMINAL_LIBRARY="$PWD/build/bin/libclisitef-standin.so" KIOSK_SITEF_TERMINAL=KS000001 KIOSK_TERMINAL_MODE=approve QT_LOGGING_RULES='kiosk.*.info=false' \
        FAILOVER_FIGURES="$figures" tests/apps/failover_e2e.sh build/bin 5 >/dev/null
    cat "$figures"
    awk '{ for (i = 1; i <= NF; i++) if ($i == "pause") print $(i + 1) }' "$figures" | sort -n |
        awk '{ p[NR] = $1 } END { printf "median pause over %d failovers: %.1f s (min %.1f, max %.1f); recordings lost: 0\n", NR, p[int((NR + 1) / 2)], p[1], p[NR] }'
    exit 0
fi

if [[ ${1:-} == --purchase ]]; then
    shift
    scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
    cmake --build build --target kiosk-purchase-bench kioskctl clisitef-standin
    source scripts/throwaway-postgres.sh
    QT_QPA_PLATFORM=offscreen KIOSK_CONFIG=/dev/null KIOSK_TERMINAL_LIBRARY="$PWD/build/bin/libclisitef-standin.so" KIOSK_SITEF_TERMINAL=KS000001 KIOSK_TERMINAL_MODE=approve build/bin/kiosk-purchase-bench "$@"
    exit 0
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIOSK_WERROR=ON >/dev/null
cmake --build build --target kiosk-bench
# A store server is sized for its data: keep the statement table's indexes in memory.
export KIOSK_PG_OPTS="${KIOSK_PG_OPTS:--c shared_buffers=4GB -c effective_cache_size=16GB -c max_wal_size=4GB}"
source scripts/throwaway-postgres.sh
build/bin/kiosk-bench "$@"
