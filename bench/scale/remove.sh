#!/usr/bin/env bash
# Times kvaren-cli remove of a directory of COUNT files from a database that
# holds two such directories (2 × COUNT rows), and update of the other.
#
# usage: bench/scale/remove.sh [COUNT]     (default: 100000)
# With KVAREN_BEFORE=/path/to/another/kvaren-cli, that build is timed on a
# copy of the same database, given at most BEFORE_LIMIT seconds (default 120).
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
count=${1:-100000}
"$here/scripts/setup.sh" >/dev/null
cli="$here/build/src/cli/kvaren-cli"
before="${KVAREN_BEFORE:-}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/kvaren-remove.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
python3 "$here/bench/scale/make_tree.py" "$scratch/a" "$count"
python3 "$here/bench/scale/make_tree.py" "$scratch/b" "$count"
"$cli" --database "$scratch/both.gdb" init
"$cli" --database "$scratch/both.gdb" add "$scratch/a" > /dev/null
"$cli" --database "$scratch/both.gdb" add "$scratch/b" > /dev/null

timed() { # label command...: seconds and peak memory of one run
  local label=$1; shift
  if /usr/bin/time -f '%e %M' -o "$scratch/time" timeout "${LIMIT:-0}" "$@" > /dev/null 2>&1; then
    read -r t m < "$scratch/time"
    printf '%-28s %8.2f s %6.0f MB\n' "$label" "$t" "$((m / 1024))"
  else
    printf '%-28s   not done within %s s\n' "$label" "${LIMIT:-0}"
  fi
}

echo "$((2 * count)) rows, removing and updating $count of them"
cp "$scratch/both.gdb" "$scratch/run.gdb"
LIMIT=0 timed "kvaren remove" "$cli" --database "$scratch/run.gdb" remove "$scratch/a"
LIMIT=0 timed "kvaren update" "$cli" --database "$scratch/run.gdb" update "$scratch/b"
if [ -n "$before" ]; then
  cp "$scratch/both.gdb" "$scratch/run.gdb"
  LIMIT=${BEFORE_LIMIT:-120} timed "before remove" "$before" --database "$scratch/run.gdb" remove "$scratch/a"
fi
