#!/bin/bash
# The installation as users and packagers get it: `cmake --install` into a fresh prefix, then
# the files it must hold, the freedesktop validators, no path into the build or source folder,
# man page and shell completions in step with `kestrove-cli --help`, kestrove started through
# its D-Bus activation file as a launcher does, and a prefix this user may not write to.
# Usage: installtreetest.sh BUILD_DIR SOURCE_DIR
set -eu -o pipefail

build=$(cd "$1" && pwd -P)
source=$(cd "$2" && pwd -P)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrove-install-XXXXXX")
prefix=$work/prefix
daemon_pid=""
kestrove_pid=""
cleanup()
{
    [ -z "$kestrove_pid" ] || kill "$kestrove_pid" 2> /dev/null || true
    [ -z "$daemon_pid" ] || kill "$daemon_pid" 2> /dev/null || true
    wait
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT

checks=0
failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# check DESCRIPTION COMMAND...: runs the command, shows its output only when it fails.
check()
{
    local what=$1
    shift
    checks=$((checks + 1))
    if ! "$@" > "$work/output" 2>&1; then
        fail "$what"
        cat "$work/output" >&2
    fi
}

for tool in desktop-file-validate appstreamcli gdbus dbus-daemon dbus-send; do
    command -v "$tool" > /dev/null || {
        echo "$tool is missing: run ./scripts/setup.sh" >&2
        exit 1
    }
done

# Stripped, as in the package: unstripped debug information names the folder it was compiled in.
if ! cmake --install "$build" --prefix "$prefix" --strip > "$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi
share=$prefix/share
desktop=$share/applications/com.kestrove.app.desktop
metainfo=$share/metainfo/com.kestrove.app.metainfo.xml
service=$share/dbus-1/services/com.kestrove.app.service
cli=$prefix/bin/kestrove-cli

# --- The files, and the icons at the size their folder promises --------------------------------
for file in bin/kestrove bin/kestrove-cli share/applications/com.kestrove.app.desktop \
    share/metainfo/com.kestrove.app.metainfo.xml share/dbus-1/services/com.kestrove.app.service \
    share/icons/hicolor/scalable/apps/com.kestrove.app.svg \
    share/icons/hicolor/symbolic/apps/com.kestrove.app-symbolic.svg share/man/man1/kestrove.1.gz \
    share/man/man1/kestrove-cli.1.gz share/bash-completion/completions/kestrove-cli \
    share/zsh/site-functions/_kestrove-cli share/doc/kestrove/copyright share/doc/kestrove/changelog.gz; do
    checks=$((checks + 1))
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256 512; do
    png=$share/icons/hicolor/${size}x${size}/apps/com.kestrove.app.png
    checks=$((checks + 1))
    # Width and height are the two big-endian words after the PNG signature and chunk header.
    dimensions=$(od -An -tu1 -j16 -N8 "$png" 2> /dev/null | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$dimensions" = "${size}x${size}" ] || fail "$png is ${dimensions:-missing}, not ${size}x${size}"
done
checks=$((checks + 1))
[ -x "$prefix/bin/kestrove" ] && [ -x "$cli" ] || fail "the executables are not executable"

# --- Desktop entry, AppStream data and D-Bus activation file -----------------------------------
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$metainfo"
entry() { sed -n "s/^$1=//p" "$desktop"; }
checks=$((checks + 1))
[ -x "$prefix/bin/$(entry Exec)" ] || fail "the desktop entry runs \"$(entry Exec)\", which is not in $prefix/bin"
checks=$((checks + 1))
[ -s "$share/icons/hicolor/scalable/apps/$(entry Icon).svg" ] || fail "the desktop entry's icon is not installed"
# DBusActivatable: the entry's name is the bus name, and the bus starts the installed kestrove.
checks=$((checks + 1))
[ "$(sed -n 's/^Name=//p' "$service")" = "$(basename "$desktop" .desktop)" ] ||
    fail "the D-Bus activation file does not name the desktop entry's bus name"
checks=$((checks + 1))
[ "$(sed -n 's/^Exec=//p' "$service")" = "$prefix/bin/kestrove" ] ||
    fail "the D-Bus activation file starts \"$(sed -n 's/^Exec=//p' "$service")\", not $prefix/bin/kestrove"
checks=$((checks + 1))
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
    fail "the AppStream data does not launch the desktop entry"
for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    checks=$((checks + 1))
    [ -x "$prefix/bin/$binary" ] || fail "the AppStream data provides $binary, which is not installed"
done
version=$(HOME=$work "$cli" --version | awk '{ print $2 }')
checks=$((checks + 1))
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream data has no release $version"

# --- Nothing points into the build or the source folder ---------------------------------------
checks=$((checks + 1))
if grep -rlF -e "$build" -e "$source" "$prefix" > "$work/output"; then
    fail "installed files name the build or source folder:"
    cat "$work/output" >&2
fi

# --- Man pages and completions against `kestrove-cli --help` ----------------------------------
# The commands section: "  SYNOPSIS  summary"; a long synopsis has its summary on the next line.
HOME=$work "$cli" --help | sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' | sed -E 's/^  //; s/  .*//' \
    > "$work/synopses"
checks=$((checks + 1))
[ "$(wc -l < "$work/synopses")" -ge 10 ] || fail "could not read the commands from kestrove-cli --help"
zcat "$share/man/man1/kestrove-cli.1.gz" > "$work/kestrove-cli.1"
if command -v groff > /dev/null; then
    for page in kestrove kestrove-cli; do
        checks=$((checks + 1))
        zcat "$share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2> "$work/output" || true
        [ ! -s "$work/output" ] || fail "groff warns about $page.1: $(cat "$work/output")"
    done
fi
complete_bash()
{
    # Prints the completions bash offers for the words given, the last one being completed.
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kestrove_cli; printf "%s\n" "${COMPREPLY[@]}"' \
        complete "$share/bash-completion/completions/kestrove-cli" kestrove-cli "$@"
}
zsh_completion=$share/zsh/site-functions/_kestrove-cli
if command -v zsh > /dev/null; then
    check "zsh reads its completion" zsh -n "$zsh_completion"
fi
while read -r command synopsis_rest; do
    options=$(grep -oE -- '--[a-z]+' <<< "$synopsis_rest" || true)
    checks=$((checks + 1))
    grep -qE "^\.BI? \"?$command( |\"|$)" "$work/kestrove-cli.1" || fail "kestrove-cli.1 does not describe \"$command\""
    checks=$((checks + 1))
    grep -qx "$command" <<< "$(complete_bash "${command:0:2}")" || fail "bash does not complete the command $command"
    checks=$((checks + 1))
    grep -q "^        '$command:" "$zsh_completion" || fail "zsh does not complete the command $command"
    # The zsh case branch that names the command, up to its ";;".
    branch=$(awk -v command="$command" '
        /^ *\([a-z|]+\)$/ { inside = 0; n = split(substr($1, 2, length($1) - 2), names, "|");
                            for (i = 1; i <= n; i++) if (names[i] == command) inside = 1 }
        inside { print } inside && /;;/ { inside = 0 }' "$zsh_completion")
    for option in $options; do
        checks=$((checks + 3))
        grep -qF -- "${option//-/\\-}" "$work/kestrove-cli.1" || fail "kestrove-cli.1 lacks $option of $command"
        grep -qx -- "$option" <<< "$(complete_bash "$command" --)" || fail "bash does not complete $option of $command"
        grep -qE -- "['\"]$option\[" <<< "$branch" || fail "zsh does not complete $option of $command"
    done
done < "$work/synopses"
# The values the command line accepts, as its own error messages list them.
values()
{
    { HOME=$work "$cli" "$@" 2>&1 || true; } | sed -E 's/.*(valid filters|valid sort modes|known keys): //' | tr -d ',' | tr ' ' '\n' |
        sort
}
for case in "list --filter __:list --filter" "list --sort __:list --sort" "config get __:config get"; do
    accepted=$(values ${case%%:*})
    read -r -a words <<< "${case#*:}"
    checks=$((checks + 2))
    [ "$(complete_bash "${words[@]}" "" | sort)" = "$accepted" ] ||
        fail "bash offers other values after \"${case#*:}\" than kestrove-cli accepts: $accepted"
    for value in $accepted; do
        grep -qw -- "$value" "$zsh_completion" || fail "zsh does not offer \"$value\" after \"${case#*:}\""
    done
done

# --- D-Bus activation, as a launcher does it for DBusActivatable=true -------------------------
# A private bus whose only activation files are the installed ones. Activated programs inherit
# the daemon's environment and standard error: a private home, no display, and the log below.
home=$work/home
mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
cat > "$work/bus.conf" << EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <servicedir>$share/dbus-1/services</servicedir>
  <policy context="default"><allow send_destination="*"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
EOF
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS HOME="$home" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
    QT_QPA_PLATFORM=offscreen dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 \
    3> "$work/bus.address" 2> "$work/bus.log" &
daemon_pid=$!
for _ in $(seq 50); do
    [ -s "$work/bus.address" ] && break
    sleep 0.1
done
bus=$(head -n 1 "$work/bus.address")
check "a launcher's Activate starts the installed kestrove" env DBUS_SESSION_BUS_ADDRESS="$bus" timeout 30 \
    gdbus call --session --dest com.kestrove.app --object-path /com/kestrove/app \
    --method org.freedesktop.Application.Activate '{}'
kestrove_pid=$(DBUS_SESSION_BUS_ADDRESS=$bus dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID string:com.kestrove.app 2> /dev/null |
    awk '{ print $2 }' || true)
checks=$((checks + 1))
[ -n "$kestrove_pid" ] && [ "$(readlink "/proc/$kestrove_pid/exe")" = "$prefix/bin/kestrove" ] ||
    fail "the bus did not start $prefix/bin/kestrove"
checks=$((checks + 1))
for _ in $(seq 50); do
    grep -q "asked for the main window" "$work/bus.log" && break
    sleep 0.1
done
grep -q "asked for the main window" "$work/bus.log" || fail "the activated kestrove did not open its window"

# --- A prefix this user may not write to stops the installation with a clear message -----------
mkdir "$work/locked"
chmod 555 "$work/locked"
chmod 711 "$work"
install_locked=(cmake --install "$build" --prefix "$work/locked/usr")
if [ "$(id -u)" -eq 0 ]; then
    # root may write anywhere; an ordinary user is what this case is about. When that user
    # cannot read the build folder (a checkout under /root), the check runs on its own.
    as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    if "${as_nobody[@]}" test -r "$build/cmake_install.cmake"; then
        install_locked=("${as_nobody[@]}" "${install_locked[@]}")
    else
        cp "$source/cmake/KestroveCheckInstallPrefix.cmake" "$work/check.cmake"
        chmod 644 "$work/check.cmake"
        install_locked=("${as_nobody[@]}" cmake -DCMAKE_INSTALL_PREFIX="$work/locked/usr" -P "$work/check.cmake")
    fi
fi
checks=$((checks + 1))
if "${install_locked[@]}" > "$work/output" 2>&1; then
    fail "installing into a folder this user may not write to succeeded"
elif ! grep -qF "Cannot install Kestrove into $work/locked/usr: this user may not" <<< "$(tr -s ' \n' ' ' < "$work/output")"; then
    fail "installing into a locked folder fails without saying why:"
    cat "$work/output" >&2
fi
checks=$((checks + 1))
[ -z "$(ls -A "$work/locked")" ] || fail "the refused installation left files behind"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
