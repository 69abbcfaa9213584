#!/usr/bin/env bash
# A throwaway database server for the tests: a cluster in a temporary folder, reached only
# through a Unix socket in that folder, run by an unprivileged user (the server refuses to
# run as root). Sourced by ./test and bench/run.
#
#   quorvane_server_start   sets QUORVANE_TEST_SERVER to the URI of its maintenance database
#   quorvane_server_stop    stops the server and removes the folder
quorvane_server_bin() {
    local dir
    dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$dir" ] && [ -x "$dir/initdb" ] && echo "$dir"
}

quorvane_server_start() {
    local bin
    bin=$(quorvane_server_bin) || { echo "quorvane: no database server installed" >&2; return 1; }
    local runas=()
    if [ "$(id -u)" -eq 0 ]; then
        if ! id quorvane-test >/dev/null 2>&1; then
            useradd --system --no-create-home --shell /usr/sbin/nologin quorvane-test
        fi
        runas=(runuser -u quorvane-test --)
    fi
    QUORVANE_SERVER_DIR=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-server.XXXXXX")
    chmod 755 "$QUORVANE_SERVER_DIR"
    [ ${#runas[@]} -gt 0 ] && chown quorvane-test "$QUORVANE_SERVER_DIR"
    "${runas[@]}" "$bin/initdb" -D "$QUORVANE_SERVER_DIR/data" -U quorvane --auth=trust \
        -E UTF8 --locale=C.UTF-8 >"$QUORVANE_SERVER_DIR/initdb.log" 2>&1 ||
        { cat "$QUORVANE_SERVER_DIR/initdb.log" >&2; return 1; }
    # Speed over durability: the cluster lives for one test run.
    "${runas[@]}" "$bin/pg_ctl" -D "$QUORVANE_SERVER_DIR/data" -l "$QUORVANE_SERVER_DIR/server.log" \
        -w -t 60 -o "-k $QUORVANE_SERVER_DIR -c listen_addresses= -c fsync=off \
        -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" start \
        >/dev/null || { cat "$QUORVANE_SERVER_DIR/server.log" >&2; return 1; }
    export QUORVANE_SERVER_DIR
    export QUORVANE_TEST_SERVER="postgresql:///postgres?host=$QUORVANE_SERVER_DIR&user=quorvane"
}

quorvane_server_stop() {
    [ -n "${QUORVANE_SERVER_DIR:-}" ] && [ -d "$QUORVANE_SERVER_DIR/data" ] || return 0
    local bin runas=()
    bin=$(quorvane_server_bin)
    [ "$(id -u)" -eq 0 ] && runas=(runuser -u quorvane-test --)
    "${runas[@]}" "$bin/pg_ctl" -D "$QUORVANE_SERVER_DIR/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$QUORVANE_SERVER_DIR"
    unset QUORVANE_SERVER_DIR QUORVANE_TEST_SERVER
}
