#!/bin/sh
# Fails when a source file includes a header from a layer above its own.
# Layers, lowest first (a file may include its own layer and those below it):
#   base < carriers < model < providers < notifications < tracking < services < ui < app, cli
set -eu
cd "$(dirname "$0")/../src"

rank() {
    case "$1" in
        base) echo 0 ;;
        carriers) echo 1 ;;
        model) echo 2 ;;
        providers) echo 3 ;;
        notifications) echo 4 ;;
        tracking) echo 5 ;;
        services) echo 6 ;;
        ui) echo 7 ;;
        app | cli) echo 8 ;;
        *) echo 99 ;;
    esac
}

status=0
for file in $(find . -name '*.cpp' -o -name '*.h' | sed 's#^\./##' | sort); do
    layer=${file%%/*}
    own=$(rank "$layer")
    for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*".*/\1/p' "$file" | sort -u); do
        [ "$included" = "$layer" ] && continue
        other=$(rank "$included")
        if [ "$other" -ge "$own" ]; then
            echo "$file includes from $included/, which is not below $layer/" >&2
            status=1
        fi
    done
done
exit $status
