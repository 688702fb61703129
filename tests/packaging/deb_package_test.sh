#!/usr/bin/env bash
# Builds the Debian package with cpack into a temporary directory and checks
# its metadata, that it holds what cmake --install installs, under /usr, with
# the licence, the changelog, the daily check's and the watch's units, and
# that lintian finds nothing wrong with it (any error or warning fails) and
# no note the README does not explain. As root it installs the package with
# dpkg --root into a tree of its own (the check's timer enabled, the watch
# not, all undone on purge), holds the daily check's unit and the mail it
# sends to the README's table of statuses, and runs the README's quick start
# as written, in a mount namespace of its own.
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
    usr/lib/systemd/system/kvaren-watch.service \
    usr/libexec/kvaren/run-check usr/libexec/kvaren/report-check etc/kvaren/system-directories; do
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

# The daily check runs the packaged program, through run-check, and
# report-check after it, outside the sandbox.
service=$tree/usr/lib/systemd/system/kvaren-check.service
grep -qx 'ExecStart=/usr/libexec/kvaren/run-check' "$service" || fail "the service does not run /usr/libexec/kvaren/run-check"
grep -qx 'ExecStopPost=+/usr/libexec/kvaren/report-check' "$service" || fail "the service does not run report-check after the check"
grep -qx 'ConditionPathExists=/var/lib/kvaren/file.gdb' "$service" || fail "the service does not wait for the system's database"
grep -qF '@KVAREN_CLI@' "$tree/usr/libexec/kvaren/run-check" && fail "run-check names no program"
grep -qF '/usr/bin/kvaren-cli --database "$database" check --unexplained --all' "$tree/usr/libexec/kvaren/run-check" \
    || fail "run-check does not run /usr/bin/kvaren-cli check --unexplained --all"
grep -qx 'ExecStart=/usr/bin/kvaren-cli --database /var/lib/kvaren/file.gdb watch --unexplained' \
    "$tree/usr/lib/systemd/system/kvaren-watch.service" || fail "the watch's service does not run /usr/bin/kvaren-cli watch"
dpkg-deb -e "$deb" "$out/control"
[ "$(cat "$out/control/conffiles")" = /etc/kvaren/system-directories ] || fail "conffiles: $(cat "$out/control/conffiles")"
grep -qx /etc "$tree/etc/kvaren/system-directories" || fail "the list of the system's directories lacks /etc"

# The README's table of what the daily check's statuses leave the unit and
# mail as, against the unit and report-check: each status of a row, run
# through report-check as systemd runs it after the check, with a mail
# transport that keeps what it is given.
table=$(sed -n '/^## Checking nightly/,/^## /{/^| [0-9]/p}' "$source/README.md")
[ "$(wc -l <<<"$table")" -ge 6 ] || fail "the README's table of the daily check's statuses has too few rows: $table"
successes=" 0 $(sed -n 's/^SuccessExitStatus=//p' "$service") "
printf '#!/bin/sh\n{ printf "%%s\\n" "$*"; cat; } >"%s"\n' "$out/mail" >"$out/sendmail"
chmod +x "$out/sendmail"
while IFS='|' read -r _ statuses _ unit subject _; do
    statuses=$(sed 's/\([0-9]*\) to \([0-9]*\)/$(seq \1 \2)/; s/,//g' <<<"$statuses")
    unit=$(xargs <<<"$unit") subject=$(xargs <<<"$subject")
    for status in $(eval echo "$statuses"); do
        [[ $successes == *" $status "* ]] && state=succeeds || state=fails
        [ "$state" = "$unit" ] || fail "status $status: the README says the unit $unit, the unit $state"
        printf 'Report line\n' >"$out/report"
        rm -f "$out/mail"
        said=$(EXIT_CODE=exited EXIT_STATUS=$status KVAREN_CHECK_REPORT=$out/report KVAREN_SENDMAIL=$out/sendmail \
            "$tree/usr/libexec/kvaren/report-check") || fail "status $status: report-check failed"
        [[ $said == "Итог проверки Kvaren: "*"(статус $status)" ]] || fail "status $status: the journal's line: $said"
        encoded=$(sed -n 's/^Subject: Kvaren [^:]*: =?UTF-8?B?\(.*\)?=$/\1/p' "$out/mail" 2>/dev/null)
        mailed=$(base64 -d <<<"$encoded" 2>/dev/null)
        [ "$mailed" = "$subject" ] || fail "status $status: the README's subject is $subject, the mail's $mailed"
        grep -qx -- '-t -oi' "$out/mail" && grep -qx 'To: root' "$out/mail" && grep -qx 'Report line' "$out/mail" \
            && grep -qxF "$said" "$out/mail" || fail "status $status: the mail is not root's with the report: $(cat "$out/mail")"
        [ ! -e "$out/report" ] || fail "status $status: report-check left the report behind"
    done
done <<<"$table"

# Installed with dpkg --root into a tree of its own, whose maintainer scripts
# see it as DPKG_ROOT: the daily check's timer enabled, the watch not;
# removed, the timer masked; purged, nothing of either left.
if [ "$(id -u)" -eq 0 ]; then
    root=$out/root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" && touch "$root/var/lib/dpkg/status"
    in_root() {
        dpkg --root="$root" --force-not-root --force-bad-path --force-script-chrootless --force-depends \
            --log="$out/dpkg.log" "$@" >"$out/dpkg.out" 2>&1 || fail "dpkg $*: $(cat "$out/dpkg.out")"
    }
    in_root -i "$deb"
    wants=$root/etc/systemd/system/timers.target.wants/kvaren-check.timer
    [ "$(readlink "$wants")" = /usr/lib/systemd/system/kvaren-check.timer ] || fail "the timer is not enabled"
    [ -z "$(find "$root/etc/systemd" -name 'kvaren-watch*')" ] || fail "the watch's service is enabled"
    [ "$(stat -c "%a %U %G" "$root/var/lib/kvaren" "$root/etc/kvaren")" = "$(printf '700 root root\n755 root root')" ] \
        || fail "postinst made /var/lib/kvaren and /etc/kvaren as: $(stat -c "%a %U %G" "$root/var/lib/kvaren" "$root/etc/kvaren")"
    grep -q 'kvaren-cli init --system' "$out/dpkg.out" || fail "the first install does not say what comes next"
    in_root -r kvaren
    [ "$(readlink "$root/etc/systemd/system/kvaren-check.timer")" = /dev/null ] || fail "removed, the timer is not masked"
    in_root -P kvaren
    left=$(find "$root/etc" "$root/var/lib/kvaren" "$root/var/lib/systemd" \( -name '*kvaren*' -o -name system-directories \) 2>/dev/null || true)
    [ -z "$left" ] || fail "purged, left: $left"
    in_root -i "$deb"
else
    echo "dpkg --root not tried: needs root"
fi

# The README's quick start, as written, on the package installed in that
# tree: in a mount namespace whose /var/lib, /etc/kvaren and /root are its
# own, the tree's programs first on PATH. The lines that only a real install
# can run (apt, systemctl) are left out; the list of the system's
# directories keeps /etc and /boot and /opt, so that the walk stays short.
if [ "$(id -u)" -eq 0 ] && unshare --mount true 2>/dev/null; then
    quick=$(sed -n '/^## Quick start/,/^## /p' "$source/README.md" | awk '/^    /{print substr($0, 5); found=1; next} found{exit}')
    grep -qx 'kvaren-cli init --system' <<<"$quick" || fail "the quick start does not run init --system: $quick"
    grep -v '^/usr' "$root/etc/kvaren/system-directories" >"$out/system-directories"
    [ -d /etc/kvaren ] && had_etc=yes || { had_etc=; mkdir -m 755 /etc/kvaren; }
    ran=$(unshare --mount bash -c 'set -e
        out=$1 root=$2 quick=$3
        mount -t tmpfs tmpfs /var/lib && mkdir -m 700 /var/lib/kvaren
        mount -t tmpfs tmpfs /etc/kvaren && cp "$out/system-directories" /etc/kvaren/
        mount -t tmpfs tmpfs /root
        export PATH=$root/usr/bin:$PATH KVAREN_KEY_PASSPHRASE=quick-start
        while read -r line; do
            case $line in apt\ *|systemctl\ *) continue ;; esac
            echo "\$ $line"
            sh -c "$line" </dev/null 2>&1 || { echo "status $?"; exit 1; }
        done <<<"$quick"
        kvaren-cli --database /var/lib/kvaren/file.gdb list' sh "$out" "$root" "$quick") \
        || fail "the quick start failed: $ran"
    [ -n "$had_etc" ] || rmdir /etc/kvaren
    grep -qx 'Поставлено на учет: /etc' <<<"$ran" || fail "init --system did not put /etc under control: $ran"
    grep -q '^Печать базы данных проверена ключом' <<<"$ran" || fail "the database is not sealed: $ran"
    [ "$(grep -c '^Не обнаружено$' <<<"$ran")" -ge 4 ] || fail "the first check found something: $ran"
else
    echo "the quick start not tried: needs root and unshare"
fi

# lintian: an error or a warning fails, as does lintian failing to run; the
# notes are shown, and each is one README's "Packaging" explains.
lintian --fail-on error,warning --tag-display-limit 0 --display-info "$deb" >"$out/lintian" 2>&1 || fail "lintian: status $?"
cat "$out/lintian"
explained=$(sed -n '/^## Packaging/,/^## /{s/^- `\([a-z0-9-]*\)[ `].*/\1/p}' "$source/README.md" | sort -u)
noted=$(sed -n 's/^I: kvaren: \([a-z0-9-]*\) .*/\1/p' "$out/lintian" | sort -u)
[ "$noted" = "$explained" ] || fail "lintian's notes: $(echo $noted); the README explains: $(echo $explained)"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "Debian package: all checks passed"
