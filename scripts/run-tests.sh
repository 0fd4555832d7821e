#!/bin/sh
# Runs the whole test suite in a private home, on a private session bus with a real
# Secret Service, and on a virtual X display. Usage: run-tests.sh BUILD_DIR [ctest args]
set -eu

BUILD_DIR=$(cd "$1" && pwd)
shift

if [ -z "${KESTROVE_TEST_INNER:-}" ]; then
    TEST_HOME=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-home-XXXXXX")
    trap 'rm -rf "$TEST_HOME"' EXIT
    mkdir -p "$TEST_HOME/.local/share" "$TEST_HOME/.config" "$TEST_HOME/.cache" "$TEST_HOME/.runtime"
    chmod 700 "$TEST_HOME/.runtime"
    # No session bus address may leak in: dbus-run-session provides the only one.
    env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY \
        HOME="$TEST_HOME" XDG_DATA_HOME="$TEST_HOME/.local/share" XDG_CONFIG_HOME="$TEST_HOME/.config" \
        XDG_CACHE_HOME="$TEST_HOME/.cache" XDG_RUNTIME_DIR="$TEST_HOME/.runtime" KESTROVE_TEST_INNER=1 \
        dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$BUILD_DIR" "$@"
    exit $?
fi

# Inside the private session: an unlocked keyring for the Secret Service tests.
eval "$(printf 'kestrove-test' | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)" || true
export GNOME_KEYRING_CONTROL || true

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 300 "$@"
