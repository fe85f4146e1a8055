#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Tests that need a real X
# server get one here: Xvfb with a window manager (openbox) and a
# notification-area host (trayer). Everything started is stopped again.
#   bash scripts/test.sh [ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test

pids=()
runtime=$(mktemp -d)
cleanup() {
    for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

exec 5>"$runtime/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
# Generous limits: on a cold machine the first start of each program is slow.
for _ in $(seq 600); do [ -s "$runtime/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$runtime/display")"
export XDG_RUNTIME_DIR="$runtime"
chmod 700 "$runtime"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

openbox >"$runtime/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 600); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
trayer --edge bottom --align right --widthtype pixel --width 160 --height 24 \
       --SetDockType true --SetPartialStrut true --transparent false >"$runtime/trayer.log" 2>&1 &
pids+=($!)
# The tray suites need the host to own the tray selection, not merely to run.
build/tests/qcy_wait_tray 60 || echo "test.sh: no notification-area host; the tray suites will fail" >&2

ctest --test-dir build --output-on-failure "$@"

# Then the same suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ (QINGCHUANYE_SANITIZE_RUN=0
# skips it). Leaks are reported for our own
# code; the suppressions file names the system libraries whose one-time
# allocations at exit are not ours to fix. The web engine's Chromium frees
# some objects with the size of a base class (its own allocator would not
# mind); that check is off, the others stay on. Stacks are taken with the
# fast unwinder: the slow one, on every allocation, deadlocks the engine's
# threads inside libgcc's unwinder. Dynamic TLS is not followed by
# intercepting __tls_get_addr: with Debian 12's glibc the recorded blocks
# can be stale by the end, and scanning them crashes the leak check; the
# blocks are ordinary heap allocations reached from the threads' static
# TLS, so they are scanned all the same. Allocations keep two frames: the
# allocator and its caller. The suppressions then name the library that
# allocated, not any library on the way; the engine calls our code too,
# and what our code loses there is reported with our function and line.
[ "${QINGCHUANYE_SANITIZE_RUN:-1}" = 1 ] || exit 0
cmake -S . -B build-asan -DQINGCHUANYE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan --parallel "$(nproc)"
ASAN_OPTIONS="detect_leaks=1:new_delete_type_mismatch=0:strict_init_order=1:intercept_tls_get_addr=0:malloc_context_size=2" \
LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-asan --output-on-failure "$@"
