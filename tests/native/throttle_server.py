#!/usr/bin/env python3
"""A local model of a video site's media server and its throttle.

Serves the files of one folder on 127.0.0.1 only. A request names a piece
of a file with a "Range: bytes=A-B" header (also "bytes=A-") or with the
query parameter "range=A-B" (inclusive), as the biggest video site's media
addresses do; the query wins when both are given. Any answer longer than
--limit bytes (10 MiB) is sent at --slow bytes a second, shorter ones at
--fast; 0 sends at once. Every request is logged to --log as one JSON line
(path, the range asked, the bytes sent, the seconds taken).

It writes its port to --port-file (or prints it) and stops by itself
when no request has come for --idle seconds, or after --lifetime seconds.

    throttle_server.py FOLDER --log requests.jsonl [--slow 65536 --fast 4000000]
"""
import argparse
import http.server
import json
import os
import re
import sys
import threading
import time
import urllib.parse

CHUNK = 16384


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("folder")
    p.add_argument("--log", required=True)
    p.add_argument("--port-file")
    p.add_argument("--limit", type=int, default=10 << 20)
    p.add_argument("--slow", type=int, default=65536, help="bytes/s above the limit (0: no throttle)")
    p.add_argument("--fast", type=int, default=4000000, help="bytes/s up to the limit (0: at once)")
    p.add_argument("--idle", type=float, default=60)
    p.add_argument("--lifetime", type=float, default=1800)
    return p.parse_args()


def main():
    args = parse_args()
    folder = os.path.abspath(args.folder)
    lock = threading.Lock()
    last = [time.monotonic()]

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *a):
            pass

        def do_GET(self):
            last[0] = time.monotonic()
            began = time.monotonic()
            url = urllib.parse.urlsplit(self.path)
            name = urllib.parse.unquote(url.path.lstrip("/"))
            path = os.path.join(folder, name)
            if "/" in name or not os.path.isfile(path):
                self.send_error(404)
                return
            size = os.path.getsize(path)
            asked = urllib.parse.parse_qs(url.query).get("range", [None])[0]
            header = self.headers.get("Range")
            spec = asked or (header[len("bytes="):] if header and header.startswith("bytes=") else None)
            start, end, status = 0, size - 1, 200
            if spec:
                m = re.fullmatch(r"(\d+)-(\d*)", spec)
                if not m or int(m.group(1)) >= size:
                    self.send_error(416)
                    return
                start = int(m.group(1))
                end = min(int(m.group(2)), size - 1) if m.group(2) else size - 1
                status = 206 if header and not asked else 200
            length = end - start + 1
            self.send_response(status)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(length))
            self.send_header("Accept-Ranges", "bytes")
            if status == 206:
                self.send_header("Content-Range", f"bytes {start}-{end}/{size}")
            self.end_headers()
            rate = args.slow if length > args.limit else args.fast
            sent = 0
            try:
                with open(path, "rb") as f:
                    f.seek(start)
                    while sent < length:
                        data = f.read(min(CHUNK, length - sent))
                        if not data:
                            break
                        self.wfile.write(data)
                        sent += len(data)
                        last[0] = time.monotonic()
                        if rate:
                            ahead = sent / rate - (time.monotonic() - began)
                            if ahead > 0:
                                time.sleep(ahead)
            except (BrokenPipeError, ConnectionResetError):
                pass
            with lock, open(args.log, "a") as log:
                log.write(json.dumps({"path": name, "range": spec, "sent": sent,
                                      "seconds": round(time.monotonic() - began, 3)}) + "\n")

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    port = str(server.server_address[1])
    if args.port_file:
        with open(args.port_file + ".new", "w") as f:
            f.write(port + "\n")
        os.replace(args.port_file + ".new", args.port_file)
    else:
        print(port, flush=True)
    started = time.monotonic()

    def watch():
        while True:
            time.sleep(0.5)
            now = time.monotonic()
            if now - last[0] > args.idle or now - started > args.lifetime:
                server.shutdown()
                return

    threading.Thread(target=watch, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
