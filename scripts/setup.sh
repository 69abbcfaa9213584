#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only those
# that are missing. Sourced by ./run, ./test and bench/run.
quorvane_setup() {
    local wanted=(g++ cmake ninja-build pkgconf qt6-base-dev libsqlite3-dev sqlite3 libpq-dev postgresql openssl
                  fonts-liberation poppler-utils "$@")
    local missing=()
    local pkg
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}
