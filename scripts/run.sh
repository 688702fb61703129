#!/usr/bin/env bash
# Sets up Kvaren and starts its window on file.gdb in the working directory,
# creating that database first when it is missing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
[ -e file.gdb ] || "$here/build/src/cli/kvaren-cli" init
exec "$here/build/src/shell/kvaren"
