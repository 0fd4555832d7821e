#!/bin/sh
# Checks the Debian package that `make package` built: its file list, its control fields and
# lintian's verdict (errors fail, warnings are shown). Usage: check-package.sh BUILD_DIR
set -eu

BUILD_DIR=$1
set -- "$BUILD_DIR"/kestrove_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "check-package.sh: expected one kestrove_*.deb in $BUILD_DIR; run make package" >&2
    exit 1
fi
DEB=$1
failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Every file under /usr, exactly these: no test programs, no stray build products.
EXPECTED="./usr/bin/kestrove
./usr/bin/kestrove-cli
./usr/share/applications/com.kestrove.app.desktop
./usr/share/bash-completion/completions/kestrove-cli
./usr/share/dbus-1/services/com.kestrove.app.service
./usr/share/doc/kestrove/changelog.gz
./usr/share/doc/kestrove/copyright
./usr/share/icons/hicolor/128x128/apps/com.kestrove.app.png
./usr/share/icons/hicolor/16x16/apps/com.kestrove.app.png
./usr/share/icons/hicolor/22x22/apps/com.kestrove.app.png
./usr/share/icons/hicolor/24x24/apps/com.kestrove.app.png
./usr/share/icons/hicolor/256x256/apps/com.kestrove.app.png
./usr/share/icons/hicolor/32x32/apps/com.kestrove.app.png
./usr/share/icons/hicolor/48x48/apps/com.kestrove.app.png
./usr/share/icons/hicolor/512x512/apps/com.kestrove.app.png
./usr/share/icons/hicolor/64x64/apps/com.kestrove.app.png
./usr/share/icons/hicolor/scalable/apps/com.kestrove.app.svg
./usr/share/icons/hicolor/symbolic/apps/com.kestrove.app-symbolic.svg
./usr/share/man/man1/kestrove-cli.1.gz
./usr/share/man/man1/kestrove.1.gz
./usr/share/metainfo/com.kestrove.app.metainfo.xml
./usr/share/zsh/vendor-completions/_kestrove-cli"
dpkg-deb --contents "$DEB" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort > "$BUILD_DIR/package-files.txt"
if ! printf '%s\n' "$EXPECTED" | LC_ALL=C sort | diff -u - "$BUILD_DIR/package-files.txt"; then
    fail "the package's files differ from the expected list (- expected, + packaged)"
fi
if dpkg-deb --contents "$DEB" | awk '{ print $2 }' | grep -v '^root/root$' > /dev/null; then
    fail "the package holds files not owned by root"
fi

# Control fields: the name and version of the build, and dependencies found by dpkg-shlibdeps.
field() { dpkg-deb --field "$DEB" "$1"; }
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")
[ "$(field Package)" = kestrove ] || fail "Package is \"$(field Package)\""
[ "$(field Version)" = "$VERSION" ] || fail "Version is \"$(field Version)\", the build is $VERSION"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is \"$(field Architecture)\""
for dependency in libc6 libqt6core6 libqt6widgets6 libqt6dbus6 libqt6keychain1 libqt6svg6 libqt6sql6-sqlite; do
    field Depends | tr ',' '\n' | grep -q "^ *$dependency\b" || fail "Depends lacks $dependency: $(field Depends)"
done
field Maintainer | grep -q '<.*@.*>' || fail "Maintainer has no address: $(field Maintainer)"

# lintian: errors fail the check; warnings and notes are reported.
echo "lintian $(lintian --version | awk '{ print $2 }') on $(basename "$DEB"):"
if ! lintian --fail-on error --display-info --pedantic "$DEB"; then
    fail "lintian reports errors"
fi

if [ "$failures" -ne 0 ]; then
    echo "check-package.sh: $failures problem(s) with $DEB" >&2
    exit 1
fi
echo "$(basename "$DEB"): files, control fields and lintian checked"
