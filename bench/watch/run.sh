#!/usr/bin/env bash
# Measures kvaren-cli watch on a tree of 100,000 files in 1,000 directories:
# peak memory, CPU while nothing changes, and how soon and how completely a
# burst of 10,000 changed files is reported. Prints one figure a line.
#
# usage: bench/watch/run.sh [FILES DIRS BURST IDLE_SECONDS]
#        (default: 100000 1000 10000 30)
# Builds Kvaren; needs python3.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
"$here/scripts/setup.sh" >/dev/null
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kvaren-watch-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
python3 "$here/bench/watch/watch_bench.py" "$here/build/src/cli/kvaren-cli" "$scratch" "$@"
