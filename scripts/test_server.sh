#!/usr/bin/env bash
# A throwaway database server for the tests: a cluster in a temporary folder, run by an
# unprivileged user (the server refuses to run as root), reached by encrypted TCP on the
# loopback address with a certificate made for it (and by its administrator through a Unix
# socket in that folder). Sourced by ./test and bench/run.
#
#   quorvane_server_start   sets QUORVANE_TEST_SERVER to the URI of its maintenance database
#   quorvane_server_stop    stops the server and removes the folder
quorvane_server_bin() {
    local dir
    dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$dir" ] && [ -x "$dir/initdb" ] && echo "$dir"
}

# A certificate authority of its own and a certificate for "localhost" signed by it, in $1.
quorvane_server_certificates() {
    local dir=$1
    openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=Quorvane test authority" \
        -keyout "$dir/ca.key" -out "$dir/ca.crt" >/dev/null 2>&1 &&
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
        -keyout "$dir/server.key" -out "$dir/server.csr" >/dev/null 2>&1 &&
    printf 'subjectAltName=DNS:localhost\n' >"$dir/server.ext" &&
    openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.crt" -CAkey "$dir/ca.key" \
        -CAcreateserial -days 3 -extfile "$dir/server.ext" -out "$dir/server.crt" >/dev/null 2>&1 &&
    chmod 600 "$dir/server.key" "$dir/ca.key"
}

# A free TCP port on the loopback address.
quorvane_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
        2>/dev/null || echo $((20000 + RANDOM % 30000))
}

# The cluster in $QUORVANE_SERVER_DIR runs (again), with the settings it was made with.
quorvane_server_resume() {
    local bin runas=()
    bin=$(quorvane_server_bin)
    [ "$(id -u)" -eq 0 ] && runas=(runuser -u quorvane-test --)
    # Each line of the server's log names the login and the database, so that a test can read
    # what its own database logged. Speed over durability: the cluster lives for one test run (a run that crashes it on
    # purpose sets QUORVANE_SERVER_COMMIT=on, so that a commit survives the crash). Connections
    # by TCP are encrypted, with the certificate made for the cluster.
    "${runas[@]}" "$bin/pg_ctl" -D "$QUORVANE_SERVER_DIR/data" -l "$QUORVANE_SERVER_DIR/server.log" \
        -w -t 60 -o "-k $QUORVANE_SERVER_DIR -c listen_addresses=127.0.0.1 \
        -c port=$QUORVANE_SERVER_PORT -c ssl=on -c ssl_cert_file=$QUORVANE_SERVER_DIR/server.crt \
        -c ssl_key_file=$QUORVANE_SERVER_DIR/server.key -c fsync=off \
        -c synchronous_commit=${QUORVANE_SERVER_COMMIT:-off} -c full_page_writes=off \
        -c max_connections=200 -c log_line_prefix='%m [%p] %u@%d '" start \
        >/dev/null || { cat "$QUORVANE_SERVER_DIR/server.log" >&2; return 1; }
}

# Stops the cluster at once, as a crash or a power cut would; quorvane_server_resume starts it.
quorvane_server_pause() {
    local bin runas=()
    bin=$(quorvane_server_bin)
    [ "$(id -u)" -eq 0 ] && runas=(runuser -u quorvane-test --)
    "${runas[@]}" "$bin/pg_ctl" -D "$QUORVANE_SERVER_DIR/data" -m immediate -w stop >/dev/null 2>&1
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
    quorvane_server_certificates "$QUORVANE_SERVER_DIR" ||
        { echo "quorvane: cannot make the test certificate (openssl)" >&2; return 1; }
    [ ${#runas[@]} -gt 0 ] && chown quorvane-test "$QUORVANE_SERVER_DIR" "$QUORVANE_SERVER_DIR/server.key"
    "${runas[@]}" "$bin/initdb" -D "$QUORVANE_SERVER_DIR/data" -U quorvane --auth=trust \
        -E UTF8 --locale=C.UTF-8 >"$QUORVANE_SERVER_DIR/initdb.log" 2>&1 ||
        { cat "$QUORVANE_SERVER_DIR/initdb.log" >&2; return 1; }
    # The Unix socket for the administrator; TCP only encrypted.
    printf 'local all all trust\nhostssl all all 127.0.0.1/32 trust\n' \
        >"$QUORVANE_SERVER_DIR/data/pg_hba.conf"
    QUORVANE_SERVER_PORT=$(quorvane_free_port)
    export QUORVANE_SERVER_DIR QUORVANE_SERVER_PORT
    quorvane_server_resume || return 1
    # The suites connect as a team would: by TCP, encrypted, checking the server's name.
    export QUORVANE_TEST_SERVER="postgresql://localhost:$QUORVANE_SERVER_PORT/postgres?hostaddr=127.0.0.1&user=quorvane&sslmode=verify-full&sslrootcert=$QUORVANE_SERVER_DIR/ca.crt"
}

quorvane_server_stop() {
    [ -n "${QUORVANE_SERVER_DIR:-}" ] && [ -d "$QUORVANE_SERVER_DIR/data" ] || return 0
    local bin runas=()
    bin=$(quorvane_server_bin)
    [ "$(id -u)" -eq 0 ] && runas=(runuser -u quorvane-test --)
    "${runas[@]}" "$bin/pg_ctl" -D "$QUORVANE_SERVER_DIR/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$QUORVANE_SERVER_DIR"
    unset QUORVANE_SERVER_DIR QUORVANE_SERVER_PORT QUORVANE_TEST_SERVER
}
