#!/usr/bin/env bash
# Sets up, builds and starts 晴川叶. When the site address is this machine
# and nothing answers there yet, the bundled learning site is started first
# and stopped again when the program ends.
#   bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

site=$(sed -n 's/^QINGCHUANYE_SITE_URL:STRING=//p' build/CMakeCache.txt)
hostport=${site#http://}
hostport=${hostport%%/*}
host=${hostport%%:*}
port=80
[ "$hostport" != "$host" ] && port=${hostport#*:}

answers() { (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null; }

server=""
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null; true; }
trap cleanup EXIT INT TERM

if [ "$host" = 127.0.0.1 ] || [ "$host" = localhost ]; then
    if ! answers && [ -x build/site/qingchuanye-site ]; then
        build/site/qingchuanye-site --bind 127.0.0.1 --port "$port" 2>>"${TMPDIR:-/tmp}/qingchuanye-site.log" &
        server=$!
        for _ in $(seq 50); do answers && break; sleep 0.1; done
    fi
fi

build/qingchuanye
