"""Download benchmark: a 55 MiB archive from nginx on 127.0.0.1, fetched in one
run by three sides in rounds of rotating order:

  velmora  the plug-in download (download_probe.exe: the product's HttpDownloader
           over the real WinINet, under Wine); its figure is the probe's own time
           of the whole operation: request, body into the temporary file and into
           memory, temporary file deleted;
  floor    the platform's floor under the same Wine: bare_loop.exe, a bare
           WinINet loop reading into a buffer of Velmora's size and writing each
           piece to a file (its figure: InternetOpenA to the file closed);
  curl     the native tool, curl -o to a file (its figure: the whole process).

The Wine sides' figures leave out Wine's process start; their program runs are
printed too. Every output lands in one folder (and Velmora's temporary file in
it): /dev/shm for ram, the build tree for disk. The served archive lies on
tmpfs in both runs: the serving side is the same for all sides.

    python3 download_bench.py --on ram|disk [--rounds 10]

(or the target bench_download, which runs both). The last line is
"ratio <velmora / floor>x the bare WinINet loop (goal <= 1.1x), <velmora / curl>x curl".
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time

from benchsupport import (MiB, Rounds, SideFailed, describe_folders, file_system, load_line, ratio,
                          work_folder)
from netsupport import run_probe, write_archive
from nginx_server import nginx
from wine import BIN, Failure, WineSession

SIZE = 55 * MiB
OBJECT = "/wot/wows/cj/tb/bench.zip"
FLOOR = os.path.join(BIN, "bench", "floor", "bare_loop.exe")
SIDES = ["velmora", "floor", "curl"]


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def parse_floor(text):
    """bare_loop's "run N ok 1 total_ms ..." and "buffer_bytes ..." lines as one dict."""
    fields = {}
    for line in text.splitlines():
        f = line.split()
        if line.startswith("run "):
            fields.update(zip(f[2::2], f[3::2]))
        elif line.startswith("buffer_bytes "):
            fields.update(zip(f[0::2], f[1::2]))
    if "total_ms" not in fields:
        raise SideFailed("bare_loop printed no run line: " + text[-300:])
    return fields


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

    buffers = set()
    with nginx(www, wine.artifacts) as (port, _):
        url = f"http://127.0.0.1:{port}{OBJECT}"

        def velmora():
            started = time.monotonic()
            try:
                r = run_probe(wine, port, [["fresh", OBJECT]], wine.windows_path(outputs["velmora"]),
                              tmp=wine.windows_path(tmp))
            except Failure as e:
                raise SideFailed(str(e))
            run_ms = (time.monotonic() - started) * 1000
            step = r["steps"][0]
            if step.get("outcome") != "Completed":
                raise SideFailed(f"outcome {step.get('outcome')}, status {step.get('status')}")
            same(outputs["velmora"] + ".1", "velmora")
            return {"ms": float(step["ms"]), "run_ms": run_ms}

        def floor():
            started = time.monotonic()
            code, out = wine.run(FLOOR, "--host", "127.0.0.1", "--port", str(port), "--object", OBJECT,
                                 "--out", wine.windows_path(outputs["floor"]), timeout=240)
            run_ms = (time.monotonic() - started) * 1000
            r = parse_floor(out)
            if code != 0 or r.get("ok") != "1":
                raise SideFailed(f"bare_loop exit code {code}: {out.strip()}")
            same(outputs["floor"], "floor")
            buffers.add(r.get("buffer_bytes"))
            return {"ms": float(r["fetch_ms"]), "answer_ms": float(r["answer_ms"]), "run_ms": run_ms}

        def curl():
            started = time.monotonic()
            code = subprocess.run(["curl", "-s", "--noproxy", "*", "-o", outputs["curl"], url]).returncode
            ms = (time.monotonic() - started) * 1000
            if code != 0:
                raise SideFailed(f"curl exit code {code}")
            same(outputs["curl"], "curl")
            return {"ms": ms}

        def clean(side):
            for path in (outputs[side], outputs[side] + ".1"):
                if os.path.exists(path):
                    os.unlink(path)

        rounds.run({"velmora": velmora, "floor": floor, "curl": curl}, between=clean)
        print(f"read buffer of both Wine sides: {', '.join(sorted(b for b in buffers if b))} bytes "
              f"(Velmora's download buffer size)")
        left = os.listdir(tmp)
        if left:
            print(f"NOTE: Velmora left {left} in its temporary folder")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--on", choices=("ram", "disk"), required=True)
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args()
    rounds = Rounds(SIDES, args.rounds)
    try:
        with work_folder(args.on, "bench_download") as work, work_folder("ram", "bench_download-www") as www, \
                WineSession() as wine:
            fs_name = file_system(work)[0]
            print(f"== download on {args.on}: {fs_name}")
            for line in describe_folders(work, www):
                print(line)
            print(f"object: {SIZE / MiB:.1f} MiB from nginx on 127.0.0.1")
            print(load_line(), "(at the start)")
            measure(wine, work, www, rounds)
            print(load_line(), "(at the end)")
    except Failure as e:
        print(f"bench_download failed: {e}", file=sys.stderr)
        return 1
    rounds.table([("velmora", "ms", "Velmora's download (in the probe)"),
                  ("velmora", "run_ms", "  its program run, with Wine's start"),
                  ("floor", "ms", "bare WinINet loop into a file"),
                  ("floor", "answer_ms", "  of which until the request was answered"),
                  ("floor", "run_ms", "  its program run, with Wine's start"),
                  ("curl", "ms", "curl -o (native, whole process)")])
    rates = [f"{s} {SIZE / MiB / (rounds.median(s, 'ms') / 1000):.0f}" for s in SIDES if rounds.median(s, "ms")]
    print("MiB/s at the median: " + ", ".join(rates))
    v, f, c = (rounds.median(s, "ms") for s in SIDES)
    print(f"ratio {ratio(v, f)} the bare WinINet loop (goal <= 1.1x), {ratio(v, c)} curl; "
          f"medians of {args.rounds} rounds on {args.on} ({fs_name})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
