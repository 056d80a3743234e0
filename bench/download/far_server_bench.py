#!/usr/bin/env python3
"""`tessaly run` against the curl command line on a tile server far away.

nginx serves 2,000 static tiles of 4,096 bytes on 127.0.0.1, behind a
delaying TCP proxy of this script's own (every chunk goes on after half the
round trip, each way: 40 ms RTT by default), in three forms: HTTPS with
HTTP/2, HTTPS with HTTP/1.1 only, and plain HTTP. Each round runs, side by
side, `tessaly new ... --run` (pause 0, 8 workers) and curl:
  HTTP/2:   curl --http2 --parallel --parallel-max 64
  HTTP/1.1: curl --parallel --parallel-max 8
Reports tiles/s (median, lowest, highest), CPU seconds per 1,000 tiles and
the ratio of the medians.

The certificate is made here; tessaly's libcurl trusts only the system's
bundle, so each tessaly run sees a bundle with it added through a private
mount namespace (needs root, as `unshare -m`).

  bench/download/far_server_bench.py BUILD_DIR [--rounds 5] [--rtt-ms 40] [--tiles 2000] [--in-flight N]
"""
import argparse
import asyncio
import math
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ZOOM = 17
MIN_X, MIN_Y = 1000, 2000
ROWS = 50


def unused_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=5):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.02)
    return False


# --- the delaying proxy (runs as a child: far_server_bench.py --proxy LISTEN TARGET DELAY_MS) ---

async def pipe(reader, writer, delay):
    loop = asyncio.get_running_loop()
    try:
        while True:
            data = await reader.read(262144)
            if not data:
                break
            loop.call_later(delay, writer.write, data)
    except (ConnectionError, OSError):
        pass
    loop.call_later(delay, writer.close)


async def serve_proxy(listen, target, delay):
    async def connection(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        for w in (client_writer, server_writer):
            w.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        await asyncio.gather(pipe(client_reader, server_writer, delay), pipe(server_reader, client_writer, delay))

    server = await asyncio.start_server(connection, "127.0.0.1", listen)
    async with server:
        await server.serve_forever()


# --- the servers ---

NGINX_CONFIG = """daemon off;
worker_processes 2;
pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 1024; }}
http {{
  access_log off;
  sendfile on;
  tcp_nodelay on;
  keepalive_requests 1000000;
  keepalive_timeout 60s;
  http2_max_concurrent_streams 128;
  client_body_temp_path {dir}/client_body;
  proxy_temp_path {dir}/proxy;
  fastcgi_temp_path {dir}/fastcgi;
  uwsgi_temp_path {dir}/uwsgi;
  scgi_temp_path {dir}/scgi;
  default_type image/png;
  ssl_certificate {dir}/cert.pem;
  ssl_certificate_key {dir}/key.pem;
  server {{ listen 127.0.0.1:{h2} ssl http2; root {dir}/tiles; }}
  server {{ listen 127.0.0.1:{h1s} ssl; root {dir}/tiles; }}
  server {{ listen 127.0.0.1:{h1}; root {dir}/tiles; }}
}}
"""


def tile_edges(count):
    columns = math.ceil(count / ROWS)
    return columns, MIN_X + columns - 1, MIN_Y + ROWS - 1


def lon(x):
    return x / 2 ** ZOOM * 360 - 180


def lat(y):
    return math.degrees(math.atan(math.sinh(math.pi * (1 - 2 * y / 2 ** ZOOM))))


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--proxy":
        asyncio.run(serve_proxy(int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]) / 1000))
        return 0
    options = argparse.ArgumentParser()
    options.add_argument("build")
    options.add_argument("--rounds", type=int, default=5)
    options.add_argument("--rtt-ms", type=float, default=40)
    options.add_argument("--tiles", type=int, default=2000)
    options.add_argument("--in-flight", type=int, default=0, help="MapnikInFlight; 0: no key")
    options.add_argument("--only", choices=["h2", "h1s", "h1"], action="append")
    args = options.parse_args()

    work = tempfile.mkdtemp(prefix="tessaly-far-", dir="/dev/shm")
    os.chmod(work, 0o755)
    children = []
    try:
        columns, max_x, max_y = tile_edges(args.tiles)
        count = columns * ROWS
        for x in range(MIN_X, max_x + 1):
            os.makedirs(f"{work}/tiles/{ZOOM}/{x}")
            for y in range(MIN_Y, max_y + 1):
                with open(f"{work}/tiles/{ZOOM}/{x}/{y}.png", "wb") as tile:
                    tile.write(b"t" * 4096)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", f"{work}/key.pem",
                        "-out", f"{work}/cert.pem"], check=True, capture_output=True)
        with open(f"{work}/bundle.pem", "wb") as bundle:
            for part in ("/etc/ssl/certs/ca-certificates.crt", f"{work}/cert.pem"):
                with open(part, "rb") as source:
                    bundle.write(source.read())

        ports = {name: unused_port() for name in ("h2", "h1s", "h1")}
        with open(f"{work}/nginx.conf", "w") as config:
            config.write(NGINX_CONFIG.format(dir=work, **ports))
        children.append(subprocess.Popen(["nginx", "-p", work, "-c", f"{work}/nginx.conf", "-e",
                                          f"{work}/error.log"]))
        proxies = {}
        for name, port in ports.items():
            proxies[name] = unused_port()
            children.append(subprocess.Popen([sys.executable, __file__, "--proxy", str(proxies[name]), str(port),
                                              str(args.rtt_ms / 2)]))
        for port in list(ports.values()) + list(proxies.values()):
            if not wait_for_port(port):
                print("a server did not start")
                return 1

        program = os.path.join(args.build, "bin", "tessaly")
        area = f"{lon(MIN_X + 0.5)},{lon(max_x + 0.5)},{lat(MIN_Y + 0.5)},{lat(max_y + 0.5)}"
        cases = [("h2", "https", ["--http2"], 64), ("h1s", "https", ["--http1.1"], 8), ("h1", "http", [], 8)]
        cases = [case for case in cases if not args.only or case[0] in args.only]
        print(f"{count} tiles of 4,096 bytes, RTT {args.rtt_ms:.0f} ms through the proxy, {args.rounds} rounds")

        def exe_folder(name, scheme):
            folder = f"{work}/exe-{name}"
            os.makedirs(f"{folder}/ini", exist_ok=True)
            os.makedirs(f"{folder}/blankimg", exist_ok=True)
            shutil.copy(program, f"{folder}/tessaly")
            base = f"{scheme}://127.0.0.1:{proxies[name]}"
            in_flight = f"MapnikInFlight={args.in_flight}\r\n" if args.in_flight else ""
            with open(f"{folder}/ini/config.ini", "w", newline="") as config:
                config.write(f"[Servers]\r\nMapnik={base}/{{z}}/{{x}}/{{y}}.png\r\nHomePage={base}/\r\n"
                             f"MapnikPause=0\r\n{in_flight}")
            return folder, base

        def timed(command):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.monotonic()
            done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            seconds = time.monotonic() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
            return done.returncode, seconds, cpu

        def run_tessaly(folder):
            tasks = f"{work}/tasks"
            shutil.rmtree(tasks, ignore_errors=True)
            os.makedirs(tasks)
            command = ["unshare", "-m", "sh", "-c",
                       f"mount --bind {work}/bundle.pem /etc/ssl/certs/ca-certificates.crt && exec \"$@\"", "sh",
                       f"{folder}/tessaly", "new", "bench", "--area", area, "--zoom", str(ZOOM), "--folder", tasks,
                       "--yes", "--run"]
            code, seconds, cpu = timed(command)
            stored = len(os.listdir(f"{tasks}/bench")) if os.path.isdir(f"{tasks}/bench") else 0
            if code != 0 or stored < count:
                print(f"  tessaly: exit {code}, {stored} tiles")
            return count / seconds, cpu * 1000 / count

        def run_curl(base, flags, parallel):
            out = f"{work}/curl"
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            with open(f"{work}/curl.cfg", "w") as config:
                for x in range(MIN_X, max_x + 1):
                    for y in range(MIN_Y, max_y + 1):
                        config.write(f'url = "{base}/{ZOOM}/{x}/{y}.png"\noutput = "{out}/os_{x}_{y}_{ZOOM}.png"\n')
            command = ["curl", "-s", "--fail", *flags, "--cacert", f"{work}/cert.pem", "--parallel",
                       "--parallel-max", str(parallel), "-K", f"{work}/curl.cfg"]
            code, seconds, cpu = timed(command)
            if code != 0:
                print(f"  curl: exit {code}")
            return count / seconds, cpu * 1000 / count

        results = {}
        for round_number in range(1, args.rounds + 1):
            for name, scheme, flags, parallel in cases:
                folder, base = exe_folder(name, scheme)
                mine = run_tessaly(folder)
                peer = run_curl(base, flags, parallel)
                results.setdefault(name, []).append((mine, peer))
                print(f"round {round_number}, {name}: tessaly {mine[0]:.0f} tiles/s, curl {peer[0]:.0f} tiles/s",
                      flush=True)

        titles = {"h2": "HTTPS, HTTP/2 (curl --parallel-max 64)", "h1s": "HTTPS, HTTP/1.1 (curl --parallel-max 8)",
                  "h1": "HTTP/1.1 (curl --parallel-max 8)"}
        print()
        for name, samples in results.items():
            print(titles[name] + ":")
            medians = []
            for label, index in (("tessaly", 0), ("curl", 1)):
                rates = [sample[index][0] for sample in samples]
                cpu = statistics.median(sample[index][1] for sample in samples)
                medians.append(statistics.median(rates))
                print(f"  {label:8} {medians[-1]:7.0f} tiles/s (min {min(rates):6.0f}, max {max(rates):6.0f})"
                      f"   CPU {cpu:.3f} s per 1,000 tiles")
            ratios = [sample[0][0] / sample[1][0] for sample in samples]
            print(f"  ratio to curl: {medians[0] / medians[1]:.2f} (medians), pairwise median "
                  f"{statistics.median(ratios):.2f}")
        return 0
    finally:
        for child in children:
            child.terminate()
        for child in children:
            child.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
