"""A throw-away nginx on 127.0.0.1 (a real server's range implementation): its own
prefix in /tmp, a free port, the document root given, never run as root.

    with nginx(root, wine.artifacts) as (port, access_log):
        ...   # access log lines: request|status|Range header|body bytes|user agent

The access and error logs are copied into `artifacts` (when given) at the end."""
import contextlib
import os
import shutil
import socket
import subprocess
import tempfile

from wine import Failure, free_port, log, wait_until

CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), "nginx.conf.in")


def _accepts(port):
    with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), 0.2):
        return True
    return False


@contextlib.contextmanager
def nginx(root, artifacts=None):
    """An nginx test instance serving `root`; yields (port, access log path)."""
    prefix = tempfile.mkdtemp(prefix="velmora-nginx-")
    os.chmod(prefix, 0o777)
    port = free_port()
    with open(CONF) as f:
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
            if artifacts:
                with contextlib.suppress(OSError):
                    shutil.copy(os.path.join(prefix, name), os.path.join(artifacts, "nginx-" + name))
        shutil.rmtree(prefix, ignore_errors=True)
