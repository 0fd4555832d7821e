#!/bin/sh
# Runs every benchmark in a private home. Usage: run-benchmarks.sh BUILD_DIR
set -eu
BUILD_DIR=$(cd "$1" && pwd)
BENCH_HOME=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-bench-XXXXXX")
trap 'rm -rf "$BENCH_HOME"' EXIT
export HOME="$BENCH_HOME" XDG_DATA_HOME="$BENCH_HOME/.local/share" XDG_CONFIG_HOME="$BENCH_HOME/.config" \
    XDG_CACHE_HOME="$BENCH_HOME/.cache" QT_QPA_PLATFORM=offscreen
for bench in "$BUILD_DIR"/bin/bench_*; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench"
done
