"""An HTTP server on 127.0.0.1 in a thread of the scenario, for the tool server,
the web site, the forum stand-in and a misbehaving server. It serves the files
below `root` at their paths ("/wot/wows/cj/pd/lpx.zip") and fixed bodies a
scenario sets at paths; honours "range:bytes=N-" with 206 (or ignores it); can
send slowly (bytes per second), or hold a body after N bytes until the test
goes on, so a download is still running when the test acts; can cut a body
short, reset the connection or stall it after N bytes, or never answer; and
logs every request's raw header bytes.

    with ToolServer(root, wine.TOOL_PORT, log_path=...) as server:
        server.serve("/news.html", "<html>…</html>")             # text/html; charset=utf-8
        server.serve("/update/velmora.exe", data, "application/octet-stream", cut_after=4096)
        server.silent.add("/never")                               # read, never answered
        server.rate = 400 * 1024                                  # any time, for every body
        server.requests                                           # [(path, raw header bytes)]
"""
import contextlib
import http.server
import mimetypes
import os
import re
import socket
import struct
import threading
import time

HTML = "text/html; charset=utf-8"


def hold_silent(sock, seconds, stopping):
    """Keeps a connection open and silent until the client gives up, the
    seconds have passed or stopping() says the server stops."""
    end = time.monotonic() + seconds
    sock.settimeout(0.5)
    while time.monotonic() < end and not stopping():
        try:
            if not sock.recv(4096):
                return
        except socket.timeout:
            continue
        except OSError:
            return


class _LineRecorder:
    """The request stream, keeping the lines read since the last take()."""

    def __init__(self, stream):
        self.stream, self.seen = stream, bytearray()

    def readline(self, *args):
        line = self.stream.readline(*args)
        self.seen += line
        return line

    def take(self):
        lines, self.seen = bytes(self.seen), bytearray()
        return lines

    def __getattr__(self, name):
        return getattr(self.stream, name)


class _Body:
    """What a path answers: fault is (byte, "cut" | "stall" | "reset") or None."""

    def __init__(self, data, content_type, status=200, fault=None, held=None, whole=False, once=False):
        self.data, self.content_type, self.status = data, content_type, status
        self.fault, self.held, self.whole, self.once = fault, held, whole, once
        self.faulted = False


class ToolServer:
    def __init__(self, root=None, port=0, rate=None, log_path=None, hold=60):
        """root: folder whose files are served (None: fixed bodies only); port 0
        takes a free one (self.port); hold: how long a stalled body holds on."""
        self.root = root
        self.rate = rate  # bytes per second, None: as fast as it goes
        self.hold = hold
        self.requests = []  # (path, raw header bytes)
        self.request_lines = []  # "GET /x HTTP/1.1", in the same order
        self.log_path = log_path
        self.bodies = {}
        self.redirects = {}  # path -> address answered with 302
        self.stopping = False
        self.generation = 0  # a release ends the holds of earlier generations
        self.silent = set()  # paths whose requests are never answered
        self.gate = threading.Event()  # set by go_on(): held bodies carry on
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def setup(self):
                super().setup()
                self.rfile = _LineRecorder(self.rfile)

            def do_GET(self):
                server._record(self)
                if self.path in server.silent:
                    self.close_connection = True
                    return server._hold(self.connection)
                if self.path in server.redirects:
                    self.send_response(302)
                    self.send_header("Location", server.redirects[self.path])
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                b = server._find(self.path) or _Body(b"<html>404</html>", HTML, 404)
                data, status, start = b.data, b.status, 0
                m = re.match(r"bytes=(\d+)-$", self.headers.get("range", "") or "")
                if status == 200 and m and not b.whole and int(m.group(1)) < len(data):
                    start, status = int(m.group(1)), 206
                self.send_response(status)
                if status == 206:
                    self.send_header("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}")
                self.send_header("Content-Length", str(len(data) - start))
                self.send_header("Content-Type", b.content_type)
                self.end_headers()
                end, fault = len(data), b.fault
                if fault and start < fault[0] < end and not b.faulted:
                    end, b.faulted = fault[0], b.once
                else:
                    fault = None
                held = b.held
                if held is not None and start < held < end:
                    if not server._send(self.wfile, data, start, held) or not server._wait_gate():
                        return
                    start = held
                if not server._send(self.wfile, data, start, end):
                    return
                if fault:
                    # The announced length was not sent: the connection cannot carry on.
                    self.close_connection = True
                    if fault[1] == "stall":
                        server._hold(self.connection)
                    elif fault[1] == "reset":
                        # Let the client drain what was sent (a reset discards unsent
                        # bytes), then close with a zero linger: the peer sees RST.
                        time.sleep(1.0)
                        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1},
                                       daemon=True)

    def serve(self, path, body, content_type=HTML, status=200, cut_after=None, stall_after=None,
              reset_after=None, once=False, held_after=None, whole=False):
        """Answers GET `path` (as requested, with its query) with `body` (bytes, or
        text sent as UTF-8), in place of any file there. cut_after=N closes the
        connection after byte N of the body; stall_after=N stops sending there and
        holds the connection open and silent. Either acts on every answer that
        starts before byte N (a resume from N or later gets the rest); serve the
        path again to change it. reset_after=N resets the connection there. once=True:
        the fault acts on its first answer only, whatever the resume. held_after=N sends up to byte N, then the rest once the test calls
        go_on(). whole=True answers every range with 200 and the whole body."""
        if isinstance(body, str):
            body = body.encode("utf-8")
        faults = [(n, kind) for n, kind in ((cut_after, "cut"), (stall_after, "stall"), (reset_after, "reset"))
                  if n is not None]
        if len(faults) > 1:
            raise ValueError("one fault to a body")
        self.bodies[path] = _Body(body, content_type, status, faults[0] if faults else None, held_after, whole, once)

    def redirect(self, path, address):
        """Answers GET `path` with 302 to `address`."""
        self.redirects[path] = address

    def url(self, path="/"):
        return f"http://127.0.0.1:{self.port}{path}"

    def _record(self, handler):
        raw = handler.rfile.take().split(b"\n", 1)[1]  # the lines after the request line
        self.requests.append((handler.path, raw))
        self.request_lines.append(handler.requestline)
        if self.log_path:
            with open(self.log_path, "ab") as f:
                f.write(handler.requestline.encode() + b"\r\n" + raw)

    def _find(self, path):
        if path in self.bodies:
            return self.bodies[path]
        if self.root is None or ".." in path:
            return None
        file = os.path.join(self.root, path.lstrip("/"))
        if not os.path.isfile(file):
            return None
        with open(file, "rb") as f:
            data = f.read()
        return _Body(data, mimetypes.guess_type(file)[0] or "application/octet-stream")

    def _send(self, out, data, start, end):
        """Sends data[start:end] at the current rate; False when the client left
        or the server stops."""
        chunk = 16384
        try:
            for pos in range(start, end, chunk):
                out.write(data[pos:min(pos + chunk, end)])
                if self.rate:
                    time.sleep(chunk / self.rate)
                if self.stopping:
                    return False
            out.flush()
        except OSError:
            return False
        return True

    def go_on(self):
        """Lets every held body carry on, now and later."""
        self.gate.set()

    def _wait_gate(self):
        while not self.gate.wait(0.1):
            if self.stopping:
                return False
        return True

    def release(self):
        """Ends every silent connection held so far (later ones are held again)."""
        self.generation += 1

    def _hold(self, sock):
        generation = self.generation
        hold_silent(sock, self.hold, lambda: self.stopping or self.generation != generation)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping = True
        self.httpd.shutdown()
        self.httpd.server_close()
        return False
