"""Downloads a 55 MB archive from nginx on 127.0.0.1 with the plug-in download
(download_probe under Wine, real WinINet) and with curl, alternately, and prints
the ratio of the best times. The probe's own figure covers the whole download
operation (request, body into the temporary file, content read back into memory,
file deleted), without Wine's start-up; the program run is printed beside it."""
import os
import shutil
import subprocess
import sys
import time

from netsupport import read, run_probe, write_archive
from nginx_server import nginx
from wine import WineSession

SIZE = 55 * 1024 * 1024
ROUNDS = 7
OBJECT = "/wot/wows/cj/tb/bench.zip"


def main():
    with WineSession() as wine:
        www = os.path.join(wine.root, "www")
        os.makedirs(www + "/wot/wows/cj/tb")
        write_archive(www + OBJECT, SIZE, seed=55)
        archive = read(www + OBJECT)
        tmpdir = os.path.join(wine.root, "tmp")
        os.makedirs(tmpdir)
        out = os.path.join(wine.root, "got")
        with nginx(www, wine.artifacts) as (port, _):
            url = f"http://127.0.0.1:{port}{OBJECT}"
            velmora, velmora_run, curl = [], [], []
            for i in range(ROUNDS + 1):  # the first round warms the page cache and Wine
                started = time.monotonic()
                r = run_probe(wine, port, [["fresh", OBJECT]], wine.windows_path(out),
                              tmp=wine.windows_path(tmpdir))
                run_s = time.monotonic() - started
                step = r["steps"][0]
                if step.get("outcome") != "Completed" or read(out + ".1") != archive:
                    print("the probe's download is not the archive:", step)
                    return 1
                os.unlink(out + ".1")
                started = time.monotonic()
                subprocess.run(["curl", "-s", "-o", out + ".curl", url], check=True)
                curl_s = time.monotonic() - started
                if os.path.getsize(out + ".curl") != SIZE:
                    print("curl did not get the archive")
                    return 1
                os.unlink(out + ".curl")
                if i == 0:
                    continue
                velmora.append(float(step["ms"]) / 1000)
                velmora_run.append(run_s)
                curl.append(curl_s)
                print(f"round {i}: velmora {velmora[-1]:.3f} s (program run {run_s:.3f} s), "
                      f"curl {curl_s:.3f} s", flush=True)
        best_v, best_c, best_run = min(velmora), min(curl), min(velmora_run)
        median = lambda xs: sorted(xs)[len(xs) // 2]
        print(f"55 MB from nginx on loopback, best of {ROUNDS}:")
        print(f"  curl                 {best_c:.3f} s  ({SIZE / best_c / 1048576:.0f} MB/s)")
        print(f"  velmora download     {best_v:.3f} s  ({SIZE / best_v / 1048576:.0f} MB/s)")
        print(f"  velmora program run  {best_run:.3f} s  (with Wine's start-up)")
        print(f"ratio velmora/curl: {best_v / best_c:.2f}x best, "
              f"{median(velmora) / median(curl):.2f}x median (goal: within 1.2x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
