#!/usr/bin/env bash
# Installs the Debian packages that are needed and missing, and only those. Sourced by ./run,
# ./test, bench/run and ./package.
#
#   quorvane_setup [PACKAGE...]   what building and running the program need, plus PACKAGEs
#   quorvane_setup_tests          that, plus what the tests and benchmarks need: the database
#                                 server (its service is not wanted on a desktop that only runs
#                                 the program), the PDF and SQLite tools and a Wayland compositor
quorvane_run_packages=(g++ cmake ninja-build pkgconf qt6-base-dev qt6-wayland qt6-charts-dev
                       libqt6opengl6-dev libsqlite3-dev libpq-dev libzstd-dev libgmime-3.0-dev
                       libssl-dev fonts-liberation)
quorvane_test_packages=(postgresql openssl sqlite3 poppler-utils weston)

quorvane_setup() {
    local wanted=("${quorvane_run_packages[@]}" "$@")
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

quorvane_setup_tests() {
    quorvane_setup "${quorvane_test_packages[@]}" "$@"
}
