"""A misbehaving tool server on 127.0.0.1 for the download scenarios.

The first path component of the object picks the behaviour; the rest names a
file below --root (its base name):

  /range/<file>          honours "range:bytes=N-" with 206 (200 without a range)
  /ignore/<file>         always 200 with the whole file
  /drop<N>/<file>        like /range, but closes cleanly at byte N of the file
  /reset<N>/<file>       like /range, but resets the connection at byte N
  /stall<N>/<file>       like /range, but stops sending at byte N and holds on
  /status<C>/<file>      answers status C with a small HTML page
  /silent/<file>         reads the request and never answers

A drop, reset or stall acts once per path (on its first answer that starts
before byte N), so a later resume of that path completes. Every request is logged as one JSON line (the raw bytes
as latin-1 text) to --log. The server stops by itself after --lifetime seconds.

It runs as a process of its own (a stall or a silent answer must not hold up the
scenario's threads); a scenario starts it with FaultServer:

    with FaultServer(root, wine.artifacts) as server:   # picks a free port
        ... server.port ...
        server.requests()    # [{"time", "path", "raw"}, ...] as logged so far
"""
import argparse
import contextlib
import json
import os
import re
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time

from tool_server import hold_silent
from wine import Failure, wait_until

HOST = "127.0.0.1"  # never anything else


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(30)
        raw = b""
        try:
            while b"\r\n\r\n" not in raw and len(raw) < 65536:
                chunk = sock.recv(4096)
                if not chunk:
                    return
                raw += chunk
        except OSError:
            return
        head = raw.split(b"\r\n\r\n", 1)[0].decode("latin-1")
        lines = head.split("\r\n")
        parts = lines[0].split(" ")
        path = parts[1] if len(parts) > 1 else "/"
        headers = {}
        for line in lines[1:]:
            if ":" in line:
                k, v = line.split(":", 1)
                headers[k.strip().lower()] = v.strip()
        self.server.record({"time": time.time(), "path": path, "raw": raw.decode("latin-1")})

        m = re.match(r"^/([a-z]+)(\d*)/(.+)$", path)
        if not m:
            return self.answer(sock, 404, b"no such object")
        mode, number, name = m.group(1), m.group(2), os.path.basename(m.group(3))
        if mode == "silent":
            self.hold(sock)
            return
        if mode == "status":
            return self.answer(sock, int(number or 500), b"<html><body>error page</body></html>")
        file = os.path.join(self.server.root, name)
        try:
            with open(file, "rb") as f:
                data = f.read()
        except OSError:
            return self.answer(sock, 404, b"<html>not found</html>")

        start = 0
        rng = re.match(r"^bytes=(\d+)-$", headers.get("range", ""))
        if rng and mode != "ignore":
            start = int(rng.group(1))
            if start >= len(data):
                return self.answer(sock, 416, b"<html>416</html>",
                                   [f"Content-Range: bytes */{len(data)}"])
        body = data[start:]
        if rng and mode != "ignore":
            status, extra = 206, [f"Content-Range: bytes {start}-{len(data) - 1}/{len(data)}"]
        else:
            status, extra = 200, []
        cut = None
        if mode in ("drop", "reset", "stall") and number and start < int(number) \
                and self.server.first_fault(path):
            cut = int(number) - start
        self.send_head(sock, status, len(body), extra)
        try:
            sock.sendall(body if cut is None else body[:cut])
        except OSError:
            return
        if cut is None:
            return
        if mode == "reset":
            # Let the client drain what was sent (a reset discards unsent bytes),
            # then close with a zero linger: the peer sees RST, not FIN.
            time.sleep(1.0)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif mode == "stall":
            self.hold(sock)
        # drop: the handler returns and the socket closes cleanly (FIN)

    def hold(self, sock):
        hold_silent(sock, self.server.hold_seconds, lambda: self.server.stopping)

    REASONS = {200: "OK", 206: "Partial Content", 404: "Not Found", 416: "Range Not Satisfiable",
               500: "Internal Server Error", 503: "Service Unavailable"}

    def send_head(self, sock, status, length, extra=()):
        lines = [f"HTTP/1.1 {status} {self.REASONS.get(status, 'Status')}",
                 "Server: velmora-fault", "Content-Type: application/zip",
                 f"Content-Length: {length}", "Accept-Ranges: bytes", "Connection: close",
                 *extra]
        sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def answer(self, sock, status, body, extra=()):
        try:
            self.send_head(sock, status, len(body), extra)
            sock.sendall(body)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, root, log, hold_seconds):
        super().__init__((HOST, port), Handler)
        self.root, self.log_path, self.hold_seconds = root, log, hold_seconds
        self.stopping = False
        self.faulted = set()
        self.lock = threading.Lock()

    def first_fault(self, path):
        with self.lock:
            if path in self.faulted:
                return False
            self.faulted.add(path)
            return True

    def record(self, entry):
        with self.lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class FaultServer:
    """The fault server as a process of the scenario, with its log and output in
    `artifacts`; it ends with the `with` block, or by itself after `lifetime` s."""

    def __init__(self, root, artifacts, lifetime=300, hold=60):
        self.log_path = os.path.join(artifacts, "fault-server-requests.jsonl")
        ready = os.path.join(artifacts, "fault-server.port")
        with contextlib.suppress(OSError):
            os.unlink(ready)
        self.out = open(os.path.join(artifacts, "fault-server.log"), "ab")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "--root", root,
             "--log", self.log_path, "--ready", ready, "--lifetime", str(lifetime),
             "--hold", str(hold)], stdout=self.out, stderr=self.out)
        wait_until(lambda: os.path.exists(ready) or self.proc.poll() is not None, 20, "fault server")
        if self.proc.poll() is not None:
            self.out.close()
            raise Failure("the fault server did not start: see fault-server.log")
        with open(ready) as f:
            self.port = int(f.read())

    def requests(self):
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        with contextlib.suppress(Exception):
            self.proc.wait(timeout=10)
        if self.proc.poll() is None:
            self.proc.kill()
        self.out.close()
        return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--root", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--ready", help="file that receives the port once listening")
    ap.add_argument("--lifetime", type=float, default=300)
    ap.add_argument("--hold", type=float, default=60, help="how long a stall holds on")
    a = ap.parse_args()
    server = Server(a.port, a.root, a.log, a.hold)
    port = server.server_address[1]
    if a.ready:
        with open(a.ready + ".part", "w") as f:
            f.write(str(port))
        os.replace(a.ready + ".part", a.ready)
    print(f"fault server on {HOST}:{port}", flush=True)

    def stop_later():
        time.sleep(a.lifetime)
        server.stopping = True
        server.shutdown()

    threading.Thread(target=stop_later, daemon=True).start()
    server.serve_forever(poll_interval=0.2)
    server.server_close()


if __name__ == "__main__":
    sys.exit(main())
