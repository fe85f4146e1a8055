#!/usr/bin/env bash
# Speed of qingchuanye-site beside nginx serving the same folder, in one
# run, on two local ports:
#  - requests/s and p50/p99 latency for a small file (css/site.css) and for
#    data/emoji.json, with keep-alive and gzip, at 1 and 20 clients (wrk;
#    ab when wrk is missing, whose percentiles are whole milliseconds);
#  - the picture dictionary as the program's engine loads it (Qt WebEngine,
#    offscreen): each resource's time from the page's own resource timing,
#    on a cold load and on two loads that revalidate.
#   bash tools/bench-site.sh [build-dir] [seconds-per-run] [rounds]
# nginx runs only when installed (apt-get install nginx-light); wrk is
# installed here when missing and this user may use apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
secs=${2:-3}
rounds=${3:-3}
root=$PWD/site/www
cmake --build "$build" --target qingchuanye-site qcy_bench_page_load >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

if ! command -v wrk >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo -n"
    if command -v apt-get >/dev/null && $sudo true 2>/dev/null; then
        echo "Installing wrk for the load runs (apt-get install wrk)"
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wrk >/dev/null 2>&1 \
            || echo "  could not install wrk"
    fi
fi
tool=""
if command -v wrk >/dev/null; then tool=wrk
elif command -v ab >/dev/null; then tool=ab; echo "wrk missing: using ab, whose percentiles are whole ms"
else echo "Neither wrk nor ab (apache2-utils) is installed: load runs skipped"
fi

# Starts qingchuanye-site on a free port, which it puts in $port.
start_site() { # out-file
    "$build/site/qingchuanye-site" --port 0 --root "$root" >"$1" 2>"$1.log" &
    pids+=($!)
    for _ in $(seq 100); do
        grep -q '^listening on' "$1" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -nE 's#^listening on http://[^:]+:([0-9]+)/$#\1#p' "$1")
}

start_site "$work/site.out"
site_port=$port
[ -n "$site_port" ] || { echo "qingchuanye-site did not start"; cat "$work/site.out.log"; exit 1; }
servers=("qingchuanye-site $site_port")

nginx_bin=$(command -v nginx || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true)
if [ -n "$nginx_bin" ]; then
    # A free port: let our server find one, then hand it over.
    start_site "$work/probe.out"
    probe=$port
    kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true
    unset 'pids[-1]'
    mkdir -p "$work/nginx"
    cat >"$work/nginx/nginx.conf" <<CONF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    access_log $work/nginx/access.log;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    sendfile on;
    tcp_nodelay on;
    keepalive_requests 1000000;
    gzip on;
    gzip_types text/css text/javascript application/javascript application/json image/svg+xml text/plain;
    server {
        listen 127.0.0.1:$probe;
        root $root;
        location ~ ^(.*)\.php\$ { try_files \$1.html =404; }
    }
}
CONF
    "$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>"$work/nginx/stderr" &
    pids+=($!)
    for _ in $(seq 100); do
        curl -s -o /dev/null "http://127.0.0.1:$probe/" 2>/dev/null && break
        sleep 0.1
    done
    if curl -s -o /dev/null "http://127.0.0.1:$probe/"; then
        servers+=("nginx $probe")
        echo "nginx $("$nginx_bin" -v 2>&1 | sed 's#.*/##') on the same folder (gzip on, compressing each response at its default level)"
    else
        echo "nginx did not start: $(cat "$work/nginx/stderr" "$work/nginx/error.log" 2>/dev/null | tail -2)"
    fi
else
    echo "nginx is not installed (apt-get install nginx-light): qingchuanye-site alone"
fi

# Prints "req/s p50-ms p99-ms".
load() { # url clients
    local out
    if [ "$tool" = wrk ]; then
        out=$(wrk -t "$([ "$2" -gt 1 ] && echo 2 || echo 1)" -c "$2" -d "${secs}s" --latency \
              -H 'Accept-Encoding: gzip' "$1")
        awk '
            function ms(v) { if (v ~ /us$/) return v / 1000; if (v ~ /ms$/) return v + 0; if (v ~ /s$/) return v * 1000; return v }
            /Requests\/sec/ { rps = $2 }
            $1 == "50%" { p50 = ms($2) }
            $1 == "99%" { p99 = ms($2) }
            END { printf "%.0f %.3f %.3f\n", rps, p50, p99 }' <<<"$out"
    else
        out=$(ab -q -k -c "$2" -t "$secs" -n 10000000 -H 'Accept-Encoding: gzip' "$1" 2>/dev/null)
        awk '/Requests per second/ { rps = $4 } $1 == "50%" { p50 = $2 } $1 == "99%" { p99 = $2 }
             END { printf "%.0f %.3f %.3f\n", rps, p50, p99 }' <<<"$out"
    fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A runs result
if [ -n "$tool" ]; then
    echo
    echo "Keep-alive, Accept-Encoding: gzip ($tool); median of $rounds runs of ${secs} s, interleaved;" \
         "$(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg) at start"
    for round in $(seq "$rounds"); do
        for file in css/site.css data/emoji.json; do
            for clients in 1 20; do
                # Interleaved, so that both meet the same machine.
                for s in "${servers[@]}"; do
                    read -r name port <<<"$s"
                    runs["$name $file $clients"]+="$(load "http://127.0.0.1:$port/$file" "$clients")"$'\n'
                done
            done
        done
    done
    printf '%-18s %-18s %7s %10s %9s %9s\n' server file clients "req/s" "p50 ms" "p99 ms"
    for file in css/site.css data/emoji.json; do
        for clients in 1 20; do
            for s in "${servers[@]}"; do
                read -r name _ <<<"$s"
                all=${runs["$name $file $clients"]}
                rps=$(awk 'NF { print $1 }' <<<"$all" | median)
                p50=$(awk 'NF { print $2 }' <<<"$all" | median)
                p99=$(awk 'NF { print $3 }' <<<"$all" | median)
                result["$name $file $clients"]="$rps $p99"
                printf '%-18s %-18s %7s %10s %9s %9s\n' "$name" "$file" "$clients" "$rps" "$p50" "$p99"
            done
        done
    done
    if [ ${#servers[@]} -gt 1 ]; then
        echo
        echo "Goals: p99 at 1 client within 2x of nginx; at 20 clients a third of its requests/s"
        for file in css/site.css data/emoji.json; do
            read -r _ ours <<<"${result["qingchuanye-site $file 1"]}"
            read -r _ theirs <<<"${result["nginx $file 1"]}"
            awk -v f="$file" -v a="$ours" -v b="$theirs" 'BEGIN {
                printf "  %-16s 1 client:   p99 %.3f vs %.3f ms, %.2fx  %s\n", f, a, b, a / b, (a <= 2 * b ? "met" : "MISSED") }'
            read -r ours _ <<<"${result["qingchuanye-site $file 20"]}"
            read -r theirs _ <<<"${result["nginx $file 20"]}"
            awk -v f="$file" -v a="$ours" -v b="$theirs" 'BEGIN {
                printf "  %-16s 20 clients: %d vs %d req/s, %.2fx  %s\n", f, a, b, a / b, (3 * a >= b ? "met" : "MISSED") }'
        done
    fi
fi

echo
echo "The picture dictionary (search.php) in Qt WebEngine, offscreen: ms per resource, as the page"
echo "measured it: load 1 from an empty cache, then the median and the slowest of 4 loads that"
echo "revalidate what it kept"
export QT_QPA_PLATFORM=offscreen
# Chromium will not start its sandbox as root (containers, CI).
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
for s in "${servers[@]}"; do
    read -r name port <<<"$s"
    if ! "$build/tools/qcy_bench_page_load" "http://127.0.0.1:$port/search.php" 5 >"$work/page.txt" 2>"$work/page.err"; then
        echo "  $name: the page did not load: $(tail -1 "$work/page.err")"
        continue
    fi
    awk -v name="$name" '
        { ms[$4, $1] = $2; bytes[$4, $1] = $3; if (!($4 in seen)) { seen[$4] = 1; order[++n] = $4 } }
        END {
            printf "  %-22s %8s %8s %8s   bytes over the wire, loads 1/2\n", name, "cold", "median", "slowest"
            for (i = 1; i <= n; ++i) {
                r = order[i]
                k = 0; worst = 0
                for (l = 2; l <= 5; ++l) { v[++k] = ms[r, l]; if (ms[r, l] > worst) worst = ms[r, l] }
                # median of four: mean of the middle two
                for (a = 1; a <= 4; ++a) for (b = a + 1; b <= 4; ++b) if (v[b] < v[a]) { t = v[a]; v[a] = v[b]; v[b] = t }
                printf "    %-20s %8.1f %8.1f %8.1f   %d/%d\n", r, ms[r, 1], (v[2] + v[3]) / 2, worst, bytes[r, 1], bytes[r, 2]
                for (l = 1; l <= 5; ++l) {
                    if (r == "/data/emoji.json") { if (ms[r, l] > emoji) emoji = ms[r, l] }
                    else if (r !~ /\.json$/ && ms[r, l] > small) small = ms[r, l]
                }
            }
            printf "    slowest of all loads: small file %.1f ms (goal 5: %s), emoji.json %.1f ms (goal 20: %s)\n",
                small, (small < 5 ? "met" : "MISSED"), emoji, (emoji < 20 ? "met" : "MISSED")
        }' "$work/page.txt"
done
