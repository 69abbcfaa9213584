#!/usr/bin/env bash
# Runs a test executable on a Wayland compositor of its own: weston with its headless back end,
# on a private socket in a private runtime folder (under the working folder), both gone when the
# test ends. Exits with 77 (skipped) where weston is not installed.
#   wayland_run.sh EXECUTABLE [ARGUMENT...]
set -uo pipefail
command -v weston >/dev/null || { echo "weston is not installed: skipped"; exit 77; }
runtime=$(mktemp -d "$PWD/wayland.XXXXXX") || exit 1
chmod 700 "$runtime"
socket=quorvane-wl-$$
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket="$socket" --no-config \
    --idle-time=0 >"$runtime/weston.log" 2>&1 &
compositor=$!
trap 'kill $compositor 2>/dev/null; wait $compositor 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    [ -S "$runtime/$socket" ] && break
    sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
    echo "weston did not start:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
fi
# The Wayland client libraries and the graphics drivers they load keep some memory to the end
# of the process; the program's own leaks are looked for by every other suite.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
# The headless compositor has no keyboard, and the toolkit's Wayland text input (which typing
# into a field reaches) needs one: the tests type through the plain compose input context.
XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland QT_IM_MODULE=compose "$@"
