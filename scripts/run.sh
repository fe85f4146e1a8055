#!/usr/bin/env bash
# Sets up, builds and starts 晴川叶. The program starts its bundled
# learning site by itself when the site address is this machine.
#   bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec build/qingchuanye
