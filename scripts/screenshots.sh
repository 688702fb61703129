#!/usr/bin/env bash
# Starts the program's windows under Xvfb, one after the other, and saves a PNG
# of each into screenshots/ (or the directory given). With PROGRESS_FILES=N
# (for instance 100000) it also puts a tree of N files under control through
# the window and takes the screen in the middle, with the progress window up.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$here/screenshots}")"
"$here/scripts/setup.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
"$here/build/src/cli/kvaren-cli" init
mkdir -p tree/sub
for name in a b c; do echo "$name" > "tree/$name.txt"; done
echo "d" > tree/sub/d.txt
big=()
if [ "${PROGRESS_FILES:-0}" -gt 0 ]; then
  python3 "$here/bench/scale/make_tree.py" "$work/big" "$PROGRESS_FILES"
  big=("$work/big")
fi
xvfb-run -a -s "-screen 0 1024x768x24" "$here/build/tools/kvaren-screenshots" "$out" "$work/tree" "${big[@]}"
# The first start from the desktop menu on an account without a database: the
# window makes the user's own and opens on it.
mkdir -p "$work/xdg"
XDG_DATA_HOME="$work/xdg" xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
  '"$1" --user-database & pid=$!; sleep 4; import -window root "$2/first_start.png"; kill $pid; wait $pid' \
  sh "$here/build/src/shell/kvaren" "$out"
echo "$out/first_start.png"
