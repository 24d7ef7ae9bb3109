"""Servers and the download probe for the download scenarios: nginx and our fault
server on 127.0.0.1, and a runner that parses what the probe prints."""
import contextlib
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from wine import BIN, Failure, log, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
PROBE = os.path.join(BIN, "tests", "e2e", "net", "download_probe.exe")

REQUEST_HEADERS = "Accept:  */*\r\nrange:bytes={}-\r\nContent-Length: 0\r\n"
USER_AGENT = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_archive(path, size, seed=1):
    """Archive-like bytes without a short period, so a shifted range shows."""
    import random
    rnd = random.Random(seed)
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, 1 << 20)
            f.write(rnd.randbytes(n))
            left -= n
    return path


def _accepts(port):
    with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), 0.2):
        return True
    return False


@contextlib.contextmanager
def nginx(root, artifacts):
    """An nginx test instance serving `root`; yields (port, access log path)."""
    prefix = tempfile.mkdtemp(prefix="velmora-nginx-")
    os.chmod(prefix, 0o777)
    port = free_port()
    with open(os.path.join(HERE, "nginx.conf.in")) as f:
        conf = f.read().replace("@PREFIX@", prefix).replace("@PORT@", str(port)).replace("@ROOT@", root)
    conf_path = os.path.join(prefix, "nginx.conf")
    with open(conf_path, "w") as f:
        f.write(conf)
    cmd = ["nginx", "-p", prefix, "-c", conf_path]
    if os.geteuid() == 0:  # never as root: a plain user's instance
        os.chmod(root, 0o755)
        cmd = ["runuser", "-u", "nobody", "--"] + cmd
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        wait_until(lambda: _accepts(port) or proc.poll() is not None, 20, "nginx")
        if proc.poll() is not None:
            raise Failure("nginx did not start: " + proc.stderr.read().decode(errors="replace"))
        log("nginx on 127.0.0.1:%d" % port)
        yield port, os.path.join(prefix, "access.log")
    finally:
        proc.terminate()
        with contextlib.suppress(Exception):
            proc.wait(timeout=10)
        if proc.poll() is None:
            proc.kill()
        for name in ("access.log", "error.log"):
            with contextlib.suppress(OSError):
                shutil.copy(os.path.join(prefix, name), os.path.join(artifacts, "nginx-" + name))
        shutil.rmtree(prefix, ignore_errors=True)


class FaultServer:
    def __init__(self, root, artifacts, lifetime=300, hold=60):
        self.log_path = os.path.join(artifacts, "fault-server-requests.jsonl")
        ready = os.path.join(artifacts, "fault-server.port")
        with contextlib.suppress(OSError):
            os.unlink(ready)
        self.out = open(os.path.join(artifacts, "fault-server.log"), "ab")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "fault_server.py"), "--root", root,
             "--log", self.log_path, "--ready", ready, "--lifetime", str(lifetime),
             "--hold", str(hold)], stdout=self.out, stderr=self.out)
        wait_until(lambda: os.path.exists(ready), 20, "fault server")
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


def run_probe(wine, port, steps, out, tmp=None, timeout=240):
    """Runs the probe; steps are lists like ["fresh", "/range/a.zip"] or with options
    in front (["--cancel-after", 3, "resume", "/x"]). Returns the parsed steps."""
    args = ["--host", "127.0.0.1", "--port", str(port), "--out", out]
    if tmp is not None:
        args += ["--tmp", tmp]
    for s in steps:
        args += [str(x) for x in s]
    env_backup = {k: wine.env.pop(k) for k in list(wine.env) if k.lower().endswith("_proxy")}
    try:
        code, text = wine.run(PROBE, *args, timeout=timeout)
    finally:
        wine.env.update(env_backup)
    with open(os.path.join(wine.artifacts, "probe-output.txt"), "a", encoding="utf-8") as f:
        f.write("$ download_probe " + " ".join(args) + "\n" + text + "\n")
    result = {"tmp": None, "steps": [], "code": code}
    current = None
    for line in text.splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "tmp":
            result["tmp"] = rest
        elif kind == "step":
            current = {"statuses": [], "percents": [], "rates": [], "line": rest}
            result["steps"].append(current)
        elif kind in ("status", "progress", "rate") and current is not None:
            key = {"status": "statuses", "progress": "percents", "rate": "rates"}[kind]
            current[key].append(int(rest) if kind == "progress" else rest)
        elif kind == "result" and current is not None:
            fields = dict(p.split("=", 1) for p in rest.split(" ") if "=" in p)
            current.update(fields)
    if len(result["steps"]) != len(steps):
        raise Failure(f"probe ran {len(result['steps'])} of {len(steps)} steps:\n{text}")
    return result


def read(path):
    with open(path, "rb") as f:
        return f.read()
