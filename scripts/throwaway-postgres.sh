# Sourced: starts a throwaway PostgreSQL cluster on 127.0.0.1 in a temporary
# folder and stops it (and removes the folder) when the calling shell exits.
# KIOSK_PG_OPTS adds server settings ("-c name=value ...").
# Exports KIOSK_TEST_PG with a connection string to its "postgres" database, and
# KIOSK_PG_BIN, KIOSK_PG_PORT and KIOSK_PG_DATA (its data folder; the server log is
# ../log beside it) for tests that restart it with pg_ctl, as its owner "postgres"
# when run as root.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
pg_dir=$(mktemp -d /tmp/kiosk-pg.XXXXXX)
pg_port=$((54000 + RANDOM % 2000))
while (echo >"/dev/tcp/127.0.0.1/$pg_port") 2>/dev/null; do pg_port=$((pg_port + 1)); done
as_pg=()
if [[ $(id -u) -eq 0 ]]; then
    chown postgres "$pg_dir"
    as_pg=(runuser -u postgres --)
fi
pg_stop() {
    "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$pg_dir"
}
trap pg_stop EXIT
"${as_pg[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >/dev/null
"${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/log" -w \
    -o "-p $pg_port -k $pg_dir -c listen_addresses=127.0.0.1 -c max_connections=200 -c fsync=on ${KIOSK_PG_OPTS:-}" start >/dev/null
export KIOSK_TEST_PG="Provider=POSTGRESQL;Host=127.0.0.1;Port=$pg_port;Database=postgres;User ID=postgres"
export KIOSK_PG_BIN="$pg_bin" KIOSK_PG_PORT="$pg_port" KIOSK_PG_DATA="$pg_dir/data"
echo "throwaway PostgreSQL on 127.0.0.1:$pg_port"
