#!/usr/bin/env bash
# Builds the Debian package with cpack into a temporary directory and checks
# its metadata, that it holds what cmake --install installs, under /usr, with
# the licence, the changelog, the daily check's and the watch's units, that
# its maintainer scripts leave the check's timer and the watch disabled, and that lintian finds nothing
# wrong with it: any error or warning fails.
# Usage: deb_package_test.sh BUILD_DIR PACKAGE_VERSION SOURCE_DIR
set -euo pipefail
build=$1 version=$2 source=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ "$(basename "$deb")" = "kvaren_${version}_$(dpkg --print-architecture).deb" ] || fail "package file name: $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = kvaren ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
[ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no Description"
depends=$(dpkg-deb -f "$deb" Depends)
# The libraries the programs link, found by dpkg-shlibdeps, and the two that
# are loaded at run time.
for package in libqt6core6 libqt6widgets6 libqt6sql6 libfbclient2 libqt6sql6-ibase firebird3.0-server-core gpgv; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in usr/bin/kvaren usr/bin/kvaren-cli \
    usr/share/man/man1/kvaren.1.gz usr/share/man/man1/kvaren-cli.1.gz \
    usr/share/applications/kvaren.desktop usr/share/icons/hicolor/scalable/apps/kvaren.svg \
    usr/share/bash-completion/completions/kvaren-cli \
    usr/share/doc/kvaren/copyright usr/share/doc/kvaren/changelog.Debian.gz \
    usr/lib/systemd/system/kvaren-check.service usr/lib/systemd/system/kvaren-check.timer \
    usr/lib/systemd/system/kvaren-watch.service; do
    grep -qx "\./$file" <<<"$contents" || fail "the package lacks /$file"
done
owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
[ "$owners" = root/root ] || fail "files are owned by $owners"

tree=$out/tree
dpkg-deb -x "$deb" "$tree"
doc=$tree/usr/share/doc/kvaren
# The copyright file carries the licence of LICENSE word for word.
grep -qx 'License: Expat' "$doc/copyright" || fail "copyright does not name the Expat licence"
diff <(sed -n '/^License: Expat$/,${/^License:/d;s/^ //;s/^\.$//;p}' "$doc/copyright") \
     <(sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE") >/dev/null \
    || fail "copyright's licence text differs from LICENSE"
# The changelog's latest entry is this version's.
zcat "$doc/changelog.Debian.gz" >"$out/changelog"
[ "$(dpkg-parsechangelog -l "$out/changelog" -S Version)" = "$version" ] \
    || fail "the changelog's latest entry is not $version: $(head -1 "$out/changelog")"

# The daily check runs the packaged program; the package installs its timer
# but never enables or starts it.
grep -qx 'ExecStart=/usr/bin/kvaren-cli --database /var/lib/kvaren/file.gdb check --unexplained --all' \
    "$tree/usr/lib/systemd/system/kvaren-check.service" || fail "the service does not run /usr/bin/kvaren-cli check --unexplained --all"
grep -qx 'ExecStart=/usr/bin/kvaren-cli --database /var/lib/kvaren/file.gdb watch --unexplained' \
    "$tree/usr/lib/systemd/system/kvaren-watch.service" || fail "the watch's service does not run /usr/bin/kvaren-cli watch"
dpkg-deb -e "$deb" "$out/control"
scripts=$(ls "$out/control" | grep -xE 'preinst|postinst|prerm|postrm' | sed "s|^|$out/control/|")
if grep -lE 'systemctl|deb-systemd|kvaren-check|kvaren-watch' $scripts; then
    fail "a maintainer script touches the daily check's or the watch's units"
fi
# postinst makes /var/lib/kvaren, root's alone, and /etc/kvaren for the
# seal's public key: tried as root on a /var/lib of its own, in a mount
# namespace; an /etc/kvaren it made here is taken away again.
if [ "$(id -u)" -eq 0 ] && unshare --mount true 2>/dev/null; then
    [ -d /etc/kvaren ] && had_etc=yes || had_etc=
    made=$(unshare --mount sh -c 'mount -t tmpfs tmpfs /var/lib &&
        "$1/postinst" configure && stat -c "%a %U %G" /var/lib/kvaren /etc/kvaren' sh "$out/control") \
        || fail "postinst configure failed"
    [ -n "$had_etc" ] || rmdir /etc/kvaren
    [ "$(echo "$made" | head -1)" = "700 root root" ] || fail "postinst made /var/lib/kvaren as: $made"
    [ -n "$had_etc" ] || [ "$(echo "$made" | tail -1)" = "755 root root" ] || fail "postinst made /etc/kvaren as: $made"
else
    echo "postinst not tried: needs root and unshare"
fi

# lintian: an error or a warning fails, as does lintian failing to run; the
# notes are shown (README's "Packaging" explains the ones that stay).
lintian --fail-on error,warning --tag-display-limit 0 --display-info "$deb" || fail "lintian: status $?"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "Debian package: all checks passed"
