#!/usr/bin/env python3
"""Benchmark of the whole plug-in install under Wine against curl -o followed by
bsdtar -xf of the same archive from the same nginx on 127.0.0.1, in the same run:
the two alternate run by run, so both see the same machine load. Prints the best
time of each, their ratio and the program's peak memory against the goals (1.5x,
archive size + 40 MB). The program's time excludes Wine's start-up."""
import argparse
import os
import random
import resource
import shutil
import subprocess
import time
import zipfile

from nginx_server import nginx

OBJECT = "/wot/wows/cj/pd/lh.zip"
MiB = 1024 * 1024


def make_archive(path):
    """About 150 files as a plug-in brings them: textures that hardly deflate and
    text-like data that deflates about by half; 55 MB as an archive."""
    rng = random.Random(20261208)
    table = bytes(b"etaoinshrdlucmfw" * 16)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for i in range(50):
            z.writestr(f"profile/particles/animated/textures/fire_{i:03}.dds", rng.randbytes(700 * 1024))
        for i in range(100):
            folder = ("effects", "trails", "gui/flash", "content/fx")[i % 4]
            z.writestr(f"profile/particles/{folder}/part_{i:03}.xml",
                       rng.randbytes(380 * 1024).translate(table))
    os.replace(path + ".part", path)


def wine_env(work):
    env = dict(os.environ)
    env.update({"WINEPREFIX": os.path.join(work, "wine-prefix"), "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=", "LC_ALL": "zh_CN.UTF-8"})
    for k in list(env):
        if k.lower().endswith("_proxy"):
            del env[k]
    if not os.path.isdir(env["WINEPREFIX"]):
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return env


def baseline_once(port, scratch):
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch + "/out")
    t0 = time.perf_counter()
    subprocess.run(["curl", "-s", "--noproxy", "*", "-o", scratch + "/lh.zip",
                    f"http://127.0.0.1:{port}{OBJECT}"], check=True)
    t1 = time.perf_counter()
    subprocess.run(["bsdtar", "-xf", scratch + "/lh.zip", "-C", scratch + "/out"], check=True)
    t2 = time.perf_counter()
    shutil.rmtree(scratch, ignore_errors=True)
    return (t1 - t0) * 1000, (t2 - t1) * 1000


def winpath(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()

    www = os.path.join(a.work, "www")
    archive = www + OBJECT
    if not os.path.exists(archive):
        make_archive(archive)
    for d in (a.work, www, os.path.dirname(archive)):
        os.chmod(d, 0o755)
    size = os.path.getsize(archive)
    with zipfile.ZipFile(archive) as z:
        count = len(z.infolist())
    env = wine_env(a.work)
    program, game, tmp = (os.path.join(a.work, n) for n in ("program", "game", "tmp"))
    for d in (program, game, tmp):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)

    baselines, lines = [], []
    with nginx(www) as (port, _):
        proc = subprocess.Popen(["wine", a.exe, "--host", "127.0.0.1", "--port", str(port),
                                 "--program", winpath(program), "--game", winpath(game),
                                 "--tmp", winpath(tmp)], env=env, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True, encoding="utf-8")
        for _ in range(a.runs):
            baselines.append(baseline_once(port, os.path.join(a.work, "native")))
            proc.stdin.write("go\n")
            proc.stdin.flush()
            lines.append(proc.stdout.readline())
        proc.stdin.close()
        lines += proc.stdout.readlines()
        code = proc.wait(timeout=120)
    child_rss_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    out = "".join(lines)
    print(out, end="")
    if code != 0:
        raise SystemExit("install_bench failed")
    curl_ms, tar_ms = min(baselines, key=sum)
    totals = [float(line.split()[3]) for line in out.splitlines() if line.startswith("run ")]
    peak = next(int(line.split()[1]) for line in out.splitlines() if line.startswith("peak_working_set"))
    best = min(totals)
    base = curl_ms + tar_ms
    print(f"archive: {size / MiB:.1f} MiB, {count} entries")
    print(f"baseline curl -o + bsdtar -xf (native, best of {a.runs}): {curl_ms:.0f} + {tar_ms:.0f} = {base:.0f} ms")
    print(f"velmora install under Wine (best of {a.runs}): {best:.0f} ms")
    print(f"ratio: {best / base:.2f}x (goal 1.5x or less)")
    print(f"peak working set: {peak / MiB:.1f} MiB; goal below {(size + 40 * MiB) / MiB:.1f} MiB "
          f"(archive + 40 MiB): {'met' if peak < size + 40 * MiB else 'NOT met'}")
    print(f"largest RSS of a child process (wine's, or a native tool's): {child_rss_kib / 1024:.1f} MiB")


if __name__ == "__main__":
    main()
