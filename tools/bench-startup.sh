#!/usr/bin/env bash
# Start-up cost of qingchuanye beside reference windows, in one run: the
# time from starting the process to its window being mapped, and its
# memory (PSS, with any child processes) one second later, before any page.
#   bash tools/bench-startup.sh [build-dir]
# Uses $DISPLAY, or starts its own Xvfb when there is none.
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target qingchuanye qcy_bench_bare qcy_bench_webview >/dev/null

xvfb=""
if [ -z "${DISPLAY:-}" ]; then
    exec 5>"$(mktemp)"; fdfile=/proc/$$/fd/5
    Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$fdfile")"
fi
trap '[ -n "$xvfb" ] && kill $xvfb' EXIT
# Chromium will not start its sandbox as root (containers, CI).
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

pss_tree() { # pid: PSS in kB of the process and all its descendants
    local total=0 p todo=("$1")
    while [ ${#todo[@]} -gt 0 ]; do
        p=${todo[0]}; todo=("${todo[@]:1}")
        [ -r "/proc/$p/smaps_rollup" ] && total=$((total + $(awk '/^Pss:/{print $2}' "/proc/$p/smaps_rollup")))
        todo+=($(ps -o pid= --ppid "$p" || true))
    done
    echo "$total"
}

measure() { # label program
    local start pid ms
    start=$(date +%s%N)
    "$2" >/dev/null 2>&1 & pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "$1: ended before showing a window" >&2; return 0; }
        sleep 0.005
    done
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    sleep 1
    printf '%-28s %6d ms to mapped window %8d kB PSS\n' "$1" "$ms" "$(pss_tree "$pid")"
    kill "$pid"; wait "$pid" 2>/dev/null || true
}

measure "bare Qt window" "$build/tools/qcy_bench_bare"
measure "qingchuanye" "$build/qingchuanye"
measure "window with web view" "$build/tools/qcy_bench_webview"
