"""A tool server on 127.0.0.1 for the plug-in scenarios: serves the files below a
root folder at their paths ("/wot/wows/cj/pd/lpx.zip"), honours "range:bytes=N-"
with 206, can send slowly (bytes per second) so a download is still running when
the test acts, and logs every request's raw header bytes. Runs in a thread of the
scenario and stops with it."""
import contextlib
import http.server
import os
import re
import threading
import time


class ToolServer:
    def __init__(self, root, port, rate=None, log_path=None):
        self.root = root
        self.rate = rate  # bytes per second, None: as fast as it goes
        self.requests = []  # (path, raw header bytes)
        self.log_path = log_path
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                raw = str(self.headers).encode("latin-1")
                server.requests.append((self.path, raw))
                if server.log_path:
                    with open(server.log_path, "ab") as f:
                        f.write(self.requestline.encode() + b"\r\n" + raw + b"\r\n")
                path = os.path.join(server.root, self.path.lstrip("/"))
                if ".." in self.path or not os.path.isfile(path):
                    body = b"<html>404</html>"
                    self.send_response(404)
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                data = open(path, "rb").read()
                start = 0
                m = re.match(r"bytes=(\d+)-$", self.headers.get("range", "") or "")
                if m and int(m.group(1)) < len(data):
                    start = int(m.group(1))
                    self.send_response(206)
                    self.send_header("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}")
                else:
                    self.send_response(200)
                self.send_header("Content-Length", str(len(data) - start))
                self.send_header("Content-Type", "application/zip")
                self.end_headers()
                chunk = 16384
                with contextlib.suppress(OSError):
                    for pos in range(start, len(data), chunk):
                        self.wfile.write(data[pos:pos + chunk])
                        if server.rate:
                            time.sleep(chunk / server.rate)
                        if server.stopping:
                            return

        self.stopping = False
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.httpd.daemon_threads = True
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1},
                                       daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping = True
        self.httpd.shutdown()
        self.httpd.server_close()
        return False
