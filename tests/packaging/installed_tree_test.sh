#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed tree as a
# user meets it: both programs answer --help and --version, both manual pages
# render without warnings and name every command and option the usage lists,
# the desktop entry is valid, the bash completion offers them too, and
# systemd finds nothing wrong with the daily check's and the watch's units.
# Usage: installed_tree_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for file in bin/kvaren bin/kvaren-cli \
    share/man/man1/kvaren.1.gz share/man/man1/kvaren-cli.1.gz \
    share/applications/kvaren.desktop share/icons/hicolor/scalable/apps/kvaren.svg \
    share/bash-completion/completions/kvaren-cli \
    share/doc/kvaren/copyright share/doc/kvaren/changelog.Debian.gz \
    lib/systemd/system/kvaren-check.service lib/systemd/system/kvaren-check.timer \
    lib/systemd/system/kvaren-watch.service \
    libexec/kvaren/run-check libexec/kvaren/report-check etc/kvaren/system-directories; do
    [ -s "$prefix/$file" ] || fail "not installed: $file"
done
for program in bin/kvaren bin/kvaren-cli libexec/kvaren/run-check libexec/kvaren/report-check; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

# --help and --version: stdout, status 0, nothing on stderr. The window program
# answers them without a display.
expect_output() { # NAME EXPECTED_START COMMAND...
    local name=$1 start=$2 out err status=0
    shift 2
    out=$("$@" 2>"$prefix/stderr") || status=$?
    err=$(cat "$prefix/stderr")
    [ "$status" -eq 0 ] || fail "$name: exit status $status"
    [ -z "$err" ] || fail "$name: stderr: $err"
    [[ $out == "$start"* ]] || fail "$name: stdout begins: ${out:0:80}"
}
cli=$prefix/bin/kvaren-cli
expect_output "kvaren-cli --help" "Использование: kvaren-cli" "$cli" --help
expect_output "kvaren-cli --version" "kvaren-cli $version" "$cli" --version
[ "$("$cli" --version)" = "kvaren-cli $version" ] || fail "kvaren-cli --version: $("$cli" --version)"
[ "$("$cli" help)" = "$("$cli" --help)" ] || fail "kvaren-cli help differs from --help"
expect_output "kvaren --help" "Использование: kvaren" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kvaren" --help
[ "$(env -u DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kvaren" --version)" = "kvaren $version" ] || fail "kvaren --version"
status=0
"$cli" --no-such-option >/dev/null 2>&1 || status=$?
[ "$status" -eq 16 ] || fail "an unknown option exits with $status, not 16"

# The commands and options the usage lists.
usage=$("$cli" --help)
commands=$(sed -n '/^Команды:/,/^Параметры:/{/^  [a-z]/{s/^  \([a-z]*\).*/\1/;p}}' <<<"$usage")
options=$(sed -n '/^Параметры:/,${/^  --/{s/^  \(--[a-z]*\(-[a-z][a-z]*\)*\).*/\1/;p}}' <<<"$usage")
[ "$(wc -w <<<"$commands")" -ge 7 ] || fail "usage lists too few commands: $commands"
[ "$(wc -w <<<"$options")" -ge 4 ] || fail "usage lists too few options: $options"

export LC_ALL=C.UTF-8 MANWIDTH=80
for page in kvaren kvaren-cli; do
    file=$prefix/share/man/man1/$page.1.gz
    warnings=$(man --warnings=w -l "$file" 2>&1 >/dev/null) || fail "man -l $page.1 failed"
    [ -z "$warnings" ] || fail "man -l $page.1 warns: $warnings"
    warnings=$(zcat "$file" | groff -ww -man -Tutf8 -z 2>&1) || fail "groff $page.1 failed"
    [ -z "$warnings" ] || fail "groff -ww $page.1 warns: $warnings"
    zcat "$file" | grep -q "^\.TH .* \"Kvaren $version\"" || fail "$page.1 does not carry the version $version"
done
manual=$(man -l "$prefix/share/man/man1/kvaren-cli.1.gz" 2>/dev/null)
for word in $commands $options; do
    grep -qE "^       $word( |$)" <<<"$manual" || fail "kvaren-cli(1) has no entry for $word"
done
for section in SYNOPSIS OPTIONS COMMANDS "EXIT STATUS" ENVIRONMENT FILES; do
    grep -q "^$section" <<<"$manual" || fail "kvaren-cli(1) has no section $section"
done
for status in 0 16 129; do
    grep -qE "^       $status\b" <<<"$manual" || fail "kvaren-cli(1) does not explain exit status $status"
done
for file in /var/lib/kvaren/file.gdb kvaren-check.service kvaren-check.timer kvaren-watch.service; do
    grep -q -- "$file" <<<"$manual" || fail "kvaren-cli(1) does not name $file"
done

# The daily check's units run the kvaren-cli of this install; any problem
# systemd-analyze verify finds with them (syntax, a missing program or manual
# page) is printed, and fails the test. man finds the installed pages by
# MANPATH.
units=$prefix/lib/systemd/system
grep -qx "ExecStart=$prefix/libexec/kvaren/run-check" "$units/kvaren-check.service" \
    || fail "the service does not run the installed run-check: $(grep ^ExecStart= "$units/kvaren-check.service")"
grep -qx "ExecStopPost=+$prefix/libexec/kvaren/report-check" "$units/kvaren-check.service" \
    || fail "the service does not run the installed report-check: $(grep ^ExecStopPost= "$units/kvaren-check.service")"
grep -qF "$prefix/bin/kvaren-cli --database \"\$database\" check --unexplained --all" "$prefix/libexec/kvaren/run-check" \
    || fail "run-check does not run the installed kvaren-cli"
grep -qx "ExecStart=$prefix/bin/kvaren-cli --database /var/lib/kvaren/file.gdb watch --unexplained" "$units/kvaren-watch.service" \
    || fail "the watch's service does not run the installed kvaren-cli: $(grep ^ExecStart= "$units/kvaren-watch.service")"
grep -qx "SuccessExitStatus=143" "$units/kvaren-watch.service" \
    || fail "the watch's service does not take the end by SIGTERM, 143, for success"
# The daily check's two steps on a database of their own, as the unit runs
# them: run-check ends with check's status and keeps the report, which
# report-check mails with the line that sums it up.
checked=$prefix/checked
mkdir -p "$checked/tree" && echo old >"$checked/tree/old"
"$cli" --database "$checked/file.gdb" init && "$cli" --database "$checked/file.gdb" add "$checked/tree" >/dev/null \
    || fail "the daily check's database could not be made"
echo new >"$checked/tree/new"
status=0
KVAREN_DATABASE=$checked/file.gdb KVAREN_CHECK_REPORT=$checked/report "$prefix/libexec/kvaren/run-check" >"$checked/journal" \
    || status=$?
[ "$status" -eq 1 ] || fail "run-check ended with $status, not check's 1: $(cat "$checked/journal")"
grep -qx "$checked/tree/new" "$checked/journal" && cmp -s "$checked/journal" "$checked/report" \
    || fail "run-check did not write and keep the report: $(cat "$checked/journal")"
printf '#!/bin/sh\ncat >"%s"\n' "$checked/mail" >"$checked/sendmail" && chmod +x "$checked/sendmail"
said=$(EXIT_CODE=exited EXIT_STATUS=$status KVAREN_CHECK_REPORT=$checked/report KVAREN_SENDMAIL=$checked/sendmail \
    "$prefix/libexec/kvaren/report-check")
[ "$said" = "Итог проверки Kvaren: новые файлы (статус 1)" ] || fail "report-check's line: $said"
grep -qx "$checked/tree/new" "$checked/mail" || fail "the mail lacks the report: $(cat "$checked/mail")"

verified=$(MANPATH=$prefix/share/man systemd-analyze verify "$units/kvaren-check.service" "$units/kvaren-check.timer" \
    "$units/kvaren-watch.service" 2>&1) \
    || fail "systemd-analyze verify failed"
[ -z "$verified" ] || fail "systemd-analyze verify: $verified"

validation=$(desktop-file-validate "$prefix/share/applications/kvaren.desktop" 2>&1) || fail "desktop entry: $validation"
grep -qx 'Exec=kvaren --user-database' "$prefix/share/applications/kvaren.desktop" || fail "the desktop entry does not start kvaren"
grep -qx 'Icon=kvaren' "$prefix/share/applications/kvaren.desktop" || fail "the desktop entry has not the installed icon"

# The completion as bash-completion loads it on first use, from the installed
# tree, in a bash of its own in a directory with one subdirectory and one file.
work=$prefix/work
mkdir -p "$work/some dir" && touch "$work/some file"
offers() { # WORD... (the last one is the word being completed)
    (cd "$work" && XDG_DATA_DIRS=$prefix/share bash -c '
        source /usr/share/bash-completion/bash_completion
        __load_completion kvaren-cli || { echo "no completion found"; exit; }
        function=$(complete -p kvaren-cli | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
        "$function"
        printf "%s\n" "${COMPREPLY[@]}" | sort' completion kvaren-cli "$@")
}
offered=$(offers "")
for command in $commands; do
    grep -qx "$command" <<<"$offered" || fail "the completion does not offer the command $command"
done
offered=$(offers "--")
for option in $options; do
    grep -qx -- "$option" <<<"$offered" || fail "the completion does not offer the option $option"
done
[ "$(offers --database base.gdb --wait 5 ch)" = check ] || fail "a command after options is not completed"
[ "$(offers check "")" = "some dir" ] || fail "check's DIR completes to: $(offers check "")"
[ "$(offers add "some dir" "")" = "" ] || fail "add's file types complete to files"
[ "$(offers sum some)" = "$(printf 'some dir\nsome file')" ] || fail "sum's FILE completes to: $(offers sum some)"
[ "$(offers check --j)" = "--json" ] || fail "check does not offer --json"
[ "$(offers init --s)" = "--system" ] || fail "init does not offer --system"
[ "$(offers init --system some)" = "$(printf 'some dir\nsome file')" ] || fail "init --system's LIST completes to: $(offers init --system some)"

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installed tree: all checks passed"
