#!/usr/bin/env bash
# `tessaly refresh` against curl: 20,000 static tiles of 4,096 bytes from nginx
# on 127.0.0.1 (which sends ETag and Last-Modified), MapnikPause=0, eight
# workers. farm-bench runs, in turn,
#   1. tessaly refresh --all of the downloaded, unchanged task (one conditional
#      GET each, answered 304) against curl --parallel --parallel-max 8 with
#      -z FILE (If-Modified-Since) for the same tiles;
#   2. a whole download (tessaly new --run) with this build, which keeps the
#      validator file, against BASELINE_TESSALY (a build without it), when given.
# The refresh's own end line gives the bytes received against a full download.
#
#   scripts/bench-setup.sh; bench/cli/refresh_bench.sh build/bin/tessaly [BASELINE_TESSALY] [RUNS]
set -euo pipefail
program=$(realpath "$1")
baseline=${2:+$(realpath "$2")}
runs=${3:-5}
work=$(mktemp -d /dev/shm/tessaly-refresh-XXXXXX)
chmod 755 "$work"
nginx_pid=
cleanup() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The tiles (zoom 17, columns 68000..68199, rows 45000..45099), the curl
# list and the area whose range is exactly the block.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
area=$(python3 - "$work" "$port" <<'PY'
import math, os, sys
work, port = sys.argv[1], sys.argv[2]
zoom, x0, x1, y0, y1 = 17, 68000, 68199, 45000, 45099
body = b"t" * 4096
with open(os.path.join(work, "curl.cfg"), "w") as cfg:
    for x in range(x0, x1 + 1):
        os.makedirs(f"{work}/tiles/{zoom}/{x}", exist_ok=True)
        for y in range(y0, y1 + 1):
            with open(f"{work}/tiles/{zoom}/{x}/{y}.png", "wb") as tile:
                tile.write(body)
            out = f"{work}/curl/os_{x}_{y}_{zoom}.png"
            cfg.write(f'url = "http://127.0.0.1:{port}/{zoom}/{x}/{y}.png"\noutput = "{out}"\ntime-cond = "{out}"\n')
lon = lambda x: x / 2**zoom * 360 - 180
lat = lambda y: math.degrees(math.atan(math.sinh(math.pi * (1 - 2 * y / 2**zoom))))
print(f"{lon(x0 + .5):.10f},{lon(x1 + .5):.10f},{lat(y0 + .5):.10f},{lat(y1 + .5):.10f}")
PY
)
mkdir -p "$work/curl"
cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nodelay on;
  keepalive_requests 1000000;
  keepalive_timeout 60s;
  client_body_temp_path $work/client_body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  default_type image/png;
  server { listen 127.0.0.1:$port; root $work/tiles; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
until curl -sf -o /dev/null "http://127.0.0.1:$port/17/68000/45000.png"; do sleep 0.1; done

# A program beside a config.ini that points MAPNIK at nginx.
place() {
    mkdir -p "$1/ini" "$1/blankimg"
    cp "$2" "$1/tessaly"
    printf '[Servers]\r\nMapnik=http://127.0.0.1:%s/{z}/{x}/{y}.png\r\nHomePage=http://127.0.0.1:%s/\r\nMapnikPause=0\r\n' \
        "$port" "$port" > "$1/ini/config.ini"
}
place "$work/exe" "$program"
download="$work/exe/tessaly new bench.qtsk --area $area --zoom 17 --folder $work/task --yes --run"

echo "== one download, then the refresh of every tile (unchanged)"
$download 2>&1 | tail -1
curl -s --parallel --parallel-max 8 -K "$work/curl.cfg"
ls "$work/task/bench" | wc -l
"$work/exe/tessaly" refresh "$work/task/bench.qtsk" --all 2>&1 | tail -1

echo "== refresh --all against curl -z FILE, 8 at a time"
farm-bench -n "$runs" --timeout 900 --vs "curl -s --parallel --parallel-max 8 -K $work/curl.cfg" -- \
    "$work/exe/tessaly" refresh "$work/task/bench.qtsk" --all

if [ -n "$baseline" ]; then
    place "$work/baseline" "$baseline"
    echo "== a whole download with the validator file against the baseline without it"
    farm-bench -n "$runs" --timeout 900 --vs "sh -c 'rm -rf $work/task && exec $work/baseline/tessaly new bench.qtsk --area $area --zoom 17 --folder $work/task --yes --run'" -- \
        sh -c "rm -rf $work/task && exec $download"
fi
