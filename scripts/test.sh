#!/usr/bin/env bash
# Sets up Kvaren and runs every test. Tests need no display: widget tests run
# on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j2 --timeout 600
