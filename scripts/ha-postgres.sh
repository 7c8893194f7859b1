# Sourced: starts a PostgreSQL formation with a standby on 127.0.0.1 in a temporary
# folder: a pg_auto_failover monitor and two data nodes (Debian's postgresql-15-auto-failover
# and pg-auto-failover-cli), synchronous replication (a commit returns once the standby
# has it), health checks tuned so that losing the primary promotes the standby within
# seconds. Everything stops, and the folder goes, when the calling shell exits (or on
# ha_stop).
#
# KIOSK_HA_NODES=3 makes three data nodes (a primary and two standbys) instead of two.
#
# Exports KIOSK_TEST_PG_HA, a connection string naming every data node that reaches the
# primary, and KIOSK_HA_MONITOR_PORT, KIOSK_HA_PORTS ("P1 P2 [P3]"). Functions for tests:
#   ha_primary             the port of the node the monitor holds primary (empty while
#                          none is: the primary lost and the standby not yet promoted)
#   ha_lose_node PORT      SIGKILL to that node's keeper and postmaster (a lost machine)
#   ha_rejoin_node PORT    starts that node's keeper again: it rejoins as standby
#   ha_wait_settled [S]    waits (at most S s, default 60) for one primary and the others secondary
#   ha_psql PORT ARGS...   psql to a node as postgres
#   ha_stop                stops everything now
ha_bin=/usr/lib/postgresql/15/bin
ha_dir=$(mktemp -d /tmp/kiosk-ha.XXXXXX)
ha_free_port() {
    local p=$((40000 + RANDOM % 9000))
    while (echo >"/dev/tcp/127.0.0.1/$p") 2>/dev/null || [[ -e /var/run/postgresql/.s.PGSQL.$p ]] ||
        [[ " ${ha_taken:-} " == *" $p "* ]]; do
        p=$((p + 1))
    done
    ha_taken="${ha_taken:-} $p"
    echo "$p"
}
ha_taken=
KIOSK_HA_MONITOR_PORT=$(ha_free_port)
ha_taken="$ha_taken $KIOSK_HA_MONITOR_PORT"
ha_p1=$(ha_free_port)
ha_taken="$ha_taken $ha_p1"
ha_p2=$(ha_free_port)
ha_nodes=("$ha_p1" "$ha_p2")
if [[ ${KIOSK_HA_NODES:-2} == 3 ]]; then
    ha_taken="$ha_taken $ha_p2"
    ha_nodes+=("$(ha_free_port)")
fi
ha_as_pg=()
if [[ $(id -u) -eq 0 ]]; then
    chown postgres "$ha_dir"
    ha_as_pg=(runuser -u postgres --)
    # The nodes' sockets go where Debian's servers put theirs (a fresh container may lack it).
    [[ -d /var/run/postgresql ]] || install -d -m 2775 -o postgres -g postgres /var/run/postgresql
fi
# pg_autoctl keeps its configuration, state and pid files under these folders.
ha_env=(env HOME="$ha_dir" XDG_CONFIG_HOME="$ha_dir/config" XDG_DATA_HOME="$ha_dir/share"
        XDG_RUNTIME_DIR="$ha_dir/run" PG_CONFIG=$ha_bin/pg_config PATH="$ha_bin:$PATH")
ha_run() { "${ha_as_pg[@]}" "${ha_env[@]}" "$@"; }
declare -A ha_keeper # port -> process group of its pg_autoctl

ha_stop() {
    local port pid
    for port in "${!ha_keeper[@]}"; do
        kill -KILL -- "-${ha_keeper[$port]}" 2>/dev/null || true
    done
    for port in "$KIOSK_HA_MONITOR_PORT" "${ha_nodes[@]}"; do
        if [[ -s $ha_dir/node$port/postmaster.pid ]]; then
            pid=$(head -1 "$ha_dir/node$port/postmaster.pid")
            [[ $pid =~ ^[0-9]+$ ]] && kill -KILL "$pid" 2>/dev/null || true
        fi
    done
    ha_keeper=()
    rm -rf "$ha_dir"
}
trap ha_stop EXIT

ha_psql() {
    local port=$1
    shift
    "$ha_bin/psql" -X -At -h 127.0.0.1 -p "$port" -U postgres "$@"
}

# Starts the keeper of the node in ha_dir/nodePORT in a session of its own, so that
# losing the node takes its keeper, its postmaster and every backend at once.
ha_start_keeper() {
    local port=$1
    setsid "${ha_as_pg[@]}" "${ha_env[@]}" pg_autoctl run --pgdata "$ha_dir/node$port" \
        >>"$ha_dir/keeper$port.log" 2>&1 &
    ha_keeper[$port]=$!
}

ha_monitor_sql() {
    ha_psql "$KIOSK_HA_MONITOR_PORT" -d pg_auto_failover -c "$1"
}

# A primary alone (its standby lost) is "wait_primary"; one without standby yet "single".
ha_primary() {
    ha_monitor_sql "SELECT nodeport FROM pgautofailover.node
                     WHERE reportedstate = goalstate AND goalstate IN ('primary', 'wait_primary', 'single')" \
        2>/dev/null | head -1
}

ha_wait_settled() {
    local limit=${1:-60} i settled="primary/primary" n
    for ((n = 1; n < ${#ha_nodes[@]}; n++)); do settled+=" secondary/secondary"; done
    for ((i = 0; i < limit * 5; i++)); do
        [[ $(ha_monitor_sql "SELECT string_agg(reportedstate || '/' || goalstate, ' ' ORDER BY reportedstate)
                              FROM pgautofailover.node" 2>/dev/null) == "$settled" ]] &&
            return 0
        sleep 0.2
    done
    echo "the formation did not settle: $(ha_monitor_sql "SELECT nodeport, reportedstate, goalstate
                                                            FROM pgautofailover.node" 2>&1)" >&2
    return 1
}

ha_lose_node() {
    local port=$1 pid
    pid=$(head -1 "$ha_dir/node$port/postmaster.pid" 2>/dev/null || true)
    kill -KILL -- "-${ha_keeper[$port]}" 2>/dev/null || true
    [[ $pid =~ ^[0-9]+$ ]] && kill -KILL "$pid" 2>/dev/null || true
    unset "ha_keeper[$port]"
}

ha_rejoin_node() {
    ha_start_keeper "$1"
}

# Small servers, and a standby that retries its primary quickly.
ha_tune_node() {
    cat >>"$ha_dir/node$1/postgresql.conf" <<EOF
shared_buffers = 32MB
max_connections = 200
wal_retrieve_retry_interval = 200ms
fsync = on
EOF
}

ha_create() {
    local port=$1
    shift
    ha_run pg_autoctl create "$@" --pgdata "$ha_dir/node$port" --pgport "$port" --hostname 127.0.0.1 \
        --listen 127.0.0.1 --auth trust --no-ssl --pgctl "$ha_bin/pg_ctl" >>"$ha_dir/create$port.log" 2>&1 ||
        { cat "$ha_dir/create$port.log" >&2; return 1; }
    ha_tune_node "$port"
}

ha_start() {
    local monitor_uri="postgres://autoctl_node@127.0.0.1:$KIOSK_HA_MONITOR_PORT/pg_auto_failover?sslmode=disable"
    ha_create "$KIOSK_HA_MONITOR_PORT" monitor || return 1
    # Health checks every half second; a primary that stops answering is demoted after one.
    cat >>"$ha_dir/node$KIOSK_HA_MONITOR_PORT/postgresql.conf" <<EOF
pgautofailover.health_check_period = 500
pgautofailover.health_check_timeout = 500
pgautofailover.health_check_max_retries = 1
pgautofailover.health_check_retry_delay = 200
pgautofailover.node_considered_unhealthy_timeout = 1000
pgautofailover.primary_demote_timeout = 1000
EOF
    ha_run "$ha_bin/pg_ctl" -D "$ha_dir/node$KIOSK_HA_MONITOR_PORT" -m fast -w stop >/dev/null 2>&1 || true
    ha_start_keeper "$KIOSK_HA_MONITOR_PORT"
    local i
    for ((i = 0; i < 100; i++)); do
        ha_monitor_sql "SELECT 1" >/dev/null 2>&1 && break
        sleep 0.2
    done
    local port
    for port in "${ha_nodes[@]}"; do
        ha_create "$port" postgres --monitor "$monitor_uri" --name "node$port" || return 1
        ha_run "$ha_bin/pg_ctl" -D "$ha_dir/node$port" -m fast -w stop >/dev/null 2>&1 || true
        ha_start_keeper "$port"
        if [[ $port == "$ha_p1" ]]; then
            for ((i = 0; i < 150; i++)); do
                [[ $(ha_monitor_sql "SELECT reportedstate FROM pgautofailover.node WHERE nodeport = $port" \
                    2>/dev/null) == single ]] && break
                sleep 0.2
            done
        fi
    done
    ha_wait_settled 90
}

if ! ha_start; then
    echo "could not start the PostgreSQL formation (logs in $ha_dir)" >&2
    return 1 2>/dev/null || exit 1
fi
KIOSK_HA_PORTS="${ha_nodes[*]}"
export KIOSK_HA_MONITOR_PORT KIOSK_HA_PORTS
ha_hosts=$(printf '127.0.0.1,%.0s' "${ha_nodes[@]}")
ha_ports=$(IFS=,; echo "${ha_nodes[*]}")
export KIOSK_TEST_PG_HA="Provider=POSTGRESQL;Host=${ha_hosts%,};Port=$ha_ports;Database=postgres;User ID=postgres;Target Session Attrs=read-write"
echo "PostgreSQL formation on 127.0.0.1: monitor $KIOSK_HA_MONITOR_PORT, nodes ${ha_nodes[*]} (primary $(ha_primary))"
