"""Download benchmark: a 55 MiB archive from nginx on 127.0.0.1, fetched in one
run by three sides in rounds of rotating order:

  velmora  the plug-in download: download_timer.exe runs the product's
           HttpDownloader over the real WinINet, under Wine; the figure is the
           whole Download call (request, body into the temporary file and into
           memory, temporary file deleted), split into the time inside
           HttpSendRequestA and InternetReadFile, writing and deleting the
           temporary file, and the rest (content into memory, progress figures);
  floor    the platform's floor under the same Wine: bare_loop.exe, a bare
           WinINet loop reading into a buffer of Velmora's size and writing each
           piece to a file (InternetOpenA to the file closed), split alike;
  curl     the native tool, curl -o to a file (its figure: the whole process).

Both Wine programs stay running and do one download per round, so their
figures leave out Wine's process start. Every output lands in one folder (and
Velmora's temporary file in it): /dev/shm for ram, the build tree for disk. The
served archive lies on tmpfs in both runs: the serving side is the same for all
sides.

    python3 download_bench.py --on ram|disk [--rounds 10]

(or the target bench_download, which runs both). The last line is
"ratio <velmora / floor>x the bare WinINet loop (goal <= 1.1x), <velmora / curl>x curl".
"""
import hashlib
import os
import subprocess
import sys
import time

from benchsupport import (LineProgram, Machine, MiB, SideFailed, arguments, describe_folders, file_system, ratio,
                          work_folder)
from netsupport import write_archive
from nginx_server import nginx
from wine import BIN, Failure, WineSession

SIZE = 55 * MiB
OBJECT = "/wot/wows/cj/tb/bench.zip"
FLOOR = os.path.join(BIN, "bench", "floor", "bare_loop.exe")
TIMER = os.path.join(BIN, "bench", "download", "download_timer.exe")
SIDES = ["velmora", "floor", "curl"]


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def measure(wine, work, www, rounds):
    os.makedirs(www + os.path.dirname(OBJECT))
    write_archive(www + OBJECT, SIZE, seed=55)
    want = digest(www + OBJECT)
    tmp = os.path.join(work, "tmp")
    os.makedirs(tmp)
    outputs = {"velmora": os.path.join(work, "velmora-got"), "floor": os.path.join(work, "floor.zip"),
               "curl": os.path.join(work, "curl.zip")}
    # No proxy for any side (WinINet under Wine reads http_proxy too).
    for k in [k for k in wine.env if k.lower().endswith("_proxy")]:
        del wine.env[k]

    def same(path, side):
        if not os.path.exists(path) or digest(path) != want:
            raise SideFailed(f"{side}'s file is not the archive")

    w = wine.windows_path
    with nginx(www, wine.artifacts) as (port, _):
        url = f"http://127.0.0.1:{port}{OBJECT}"
        velmora_prog = LineProgram(wine, TIMER, "--host", "127.0.0.1", "--port", str(port), "--object", OBJECT,
                                   "--tmp", w(tmp), "--out", w(outputs["velmora"]))
        floor_prog = LineProgram(wine, FLOOR, "--repeat", "--host", "127.0.0.1", "--port", str(port),
                                 "--object", OBJECT, "--out", w(outputs["floor"]))
        try:
            def velmora():
                r = velmora_prog.ask()
                if r.get("ok") != "1":
                    raise SideFailed(f"download_timer: {r}")
                same(outputs["velmora"], "velmora")
                f = {"ms": float(r["total_ms"])}
                f.update({k: float(r[k + "_ms"]) for k in ("send", "read", "write", "remove")})
                f["rest"] = f["ms"] - f["send"] - f["read"] - f["write"] - f["remove"]
                return f

            def floor():
                r = floor_prog.ask()
                if r.get("ok") != "1":
                    raise SideFailed(f"bare_loop: {r}")
                same(outputs["floor"], "floor")
                f = {"ms": float(r["fetch_ms"])}
                f.update({k: float(r[k + "_ms"]) for k in ("answer", "read", "write")})
                f["rest"] = f["ms"] - f["answer"] - f["read"] - f["write"]
                return f

            def curl():
                started = time.monotonic()
                code = subprocess.run(["curl", "-s", "--noproxy", "*", "-o", outputs["curl"], url]).returncode
                ms = (time.monotonic() - started) * 1000
                if code != 0:
                    raise SideFailed(f"curl exit code {code}")
                same(outputs["curl"], "curl")
                return {"ms": ms}

            def clean(side):
                if os.path.exists(outputs[side]):
                    os.unlink(outputs[side])

            rounds.run({"velmora": velmora, "floor": floor, "curl": curl}, between=clean)
        finally:
            velmora_prog.finish()
            floor_rest, _ = floor_prog.finish()
    for line in floor_rest:
        if line.startswith("buffer_bytes "):
            print(f"read buffer of both Wine sides: {line.split()[1]} bytes (Velmora's download buffer size)")
    left = os.listdir(tmp)
    if left:
        print(f"NOTE: Velmora left {left} in its temporary folder")


def main():
    args, rounds = arguments(SIDES)
    try:
        with work_folder(args.on, "bench_download") as work, work_folder("ram", "bench_download-www") as www, \
                WineSession() as wine:
            fs_name = file_system(work)[0]
            print(f"== download on {args.on}: {fs_name}")
            for line in describe_folders(work, www):
                print(line)
            print(f"object: {SIZE / MiB:.1f} MiB from nginx on 127.0.0.1")
            machine = Machine()
            measure(wine, work, www, rounds)
            machine.report()
    except Failure as e:
        print(f"bench_download failed: {e}", file=sys.stderr)
        return 1
    rounds.table([("velmora", "ms", "Velmora's download (the Download call)"),
                  ("velmora", "send", "  in HttpSendRequestA"),
                  ("velmora", "read", "  in InternetReadFile"),
                  ("velmora", "write", "  writing the temporary file"),
                  ("velmora", "remove", "  deleting the temporary file"),
                  ("velmora", "rest", "  the rest: open, connect, memory, progress"),
                  ("floor", "ms", "bare WinINet loop into a file"),
                  ("floor", "answer", "  open, connect, until answered"),
                  ("floor", "read", "  in InternetReadFile"),
                  ("floor", "write", "  writing the file"),
                  ("floor", "rest", "  the rest"),
                  ("curl", "ms", "curl -o (native, whole process)")])
    rates = [f"{s} {SIZE / MiB / (rounds.median(s, 'ms') / 1000):.0f}" for s in SIDES if rounds.median(s, "ms")]
    print("MiB/s at the median: " + ", ".join(rates))
    rounds.paired("velmora", "floor", "ms", "velmora / bare WinINet loop")
    rounds.paired("velmora", "curl", "ms", "velmora / curl")
    v, f, c = (rounds.median(s, "ms") for s in SIDES)
    print(f"ratio {ratio(v, f)} the bare WinINet loop (goal <= 1.1x), {ratio(v, c)} curl; "
          f"medians of {args.rounds} rounds on {args.on} ({fs_name})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
