#!/bin/bash
# A map source's download (`tessaly new ... --map bench --run`, Pause=0, eight
# connections, every reply's Content-Type checked) against curl --parallel
# --parallel-max 8 over the same addresses, timed from outside by farm-bench
# in pairs. nginx on 127.0.0.1 answers every path with the same tile of
# 4,096 bytes (Content-Type image/png); both sides write their files to
# /dev/shm, each run into a fresh folder.
#
#   scripts/bench-setup.sh; bash bench/cli/source_vs_curl.sh [build-folder] [runs] [map]
# (map: bench, the source, by default; mapnik for the built-in type beside it)
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
map=${3:-bench}
work=$(mktemp -d /dev/shm/tessaly-source-bench.XXXXXX)
trap 'kill $(cat "$work/nginx.pid" 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# nginx: one tile for every address.
mkdir -p "$work/www" "$work/logs"
chmod 755 "$work" "$work/www"  # nginx's workers run as another user
head -c 4096 /dev/zero | tr '\0' 't' > "$work/www/tile.png"
cat > "$work/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
    default_type image/png;
    location / { try_files /tile.png =404; }
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log"

# The program beside its settings and one map source.
mkdir -p "$work/exe/ini/sources" "$work/exe/blankimg"
cp "$build/bin/tessaly" "$work/exe/"
cp "$build/bin/blankimg/blank.png" "$work/exe/blankimg/"
printf '[Servers]\r\nMapnik=http://127.0.0.1:%s/{z}/{x}/{y}.png\r\nMapnikPause=0\r\n' "$port" > "$work/exe/ini/config.ini"
printf '[Source]\nName=bench\nUrl=http://{s}:%s/{z}/{x}/{y}.png\nSubdomains=127.0.0.1\nMaxZoom=18\nPause=0\n\n[Headers]\nX-Api-Key=bench\n' \
  "$port" > "$work/exe/ini/sources/bench.ini"

# 200 x 100 tiles at zoom 17 (columns 68000.., rows 45000..): the area from the corner tiles' centres.
read -r area <<<"$(python3 - <<'PY'
import math
def lon(x, z): return x / 2**z * 360 - 180
def lat(y, z): return math.degrees(math.atan(math.sinh(math.pi * (1 - 2 * y / 2**z))))
z = 17
print(f"{lon(68000.5, z):.10f},{lon(68199.5, z):.10f},{lat(45000.5, z):.10f},{lat(45099.5, z):.10f}")
PY
)"
python3 - "$port" "$work/curl" > "$work/curl.cfg" <<'PY'
import sys
port, folder = sys.argv[1], sys.argv[2]
for x in range(68000, 68200):
    for y in range(45000, 45100):
        print(f'url = "http://127.0.0.1:{port}/17/{x}/{y}.png"\noutput = "{folder}/bench_{x}_{y}_17.png"')
PY

tessaly="rm -rf $work/tasks && mkdir -p $work/tasks && exec $work/exe/tessaly new bench --area $area --zoom 17 --folder $work/tasks --map $map --yes --run"
curl="rm -rf $work/curl && mkdir -p $work/curl && exec curl -s --parallel --parallel-max 8 -K $work/curl.cfg"
echo "20,000 tiles from nginx at 127.0.0.1:$port; A: tessaly --map $map, B: curl --parallel-max 8"
echo "A: $tessaly"; echo "B: $curl"
farm-bench -n "$runs" --timeout 600 --vs "sh -c '$curl'" -- sh -c "$tessaly"
