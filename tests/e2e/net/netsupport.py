"""The download probe for the download scenarios and the download benchmark: a
runner that parses what the probe prints, and archive-like files to serve. The
servers live in the harness (tool_server, nginx_server)."""
import os
import random

from wine import BIN, Failure

PROBE = os.path.join(BIN, "tests", "e2e", "net", "download_probe.exe")


def write_archive(path, size, seed=1):
    """Archive-like bytes without a short period, so a shifted range shows."""
    rnd = random.Random(seed)
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, 1 << 20)
            f.write(rnd.randbytes(n))
            left -= n
    return path


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
