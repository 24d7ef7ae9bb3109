"""Install benchmark: the whole plug-in install of a 55 MiB archive (about 150
entries) from nginx on 127.0.0.1, in one run, by three sides in rounds of
rotating order:

  velmora  install_bench.exe: the product's InstallPlugin with HttpDownloader over
           the real WinINet, under Wine: download, store the archive beside the
           program, unpack all or nothing into the game folder, delete the archive;
  floor    the platform's floor under the same Wine: bare_loop.exe, a bare WinINet
           loop into a file (a buffer of Velmora's size, WriteFile per piece),
           then a plain minizip unpack of that file, entry by entry;
  native   curl -o, then bsdtar -xf of the same archive (the native tools).

Both Wine programs stay running and do one install per round (their figures
leave out Wine's process start); the native pair is timed as processes. Every
side's program, temporary, game and output folders lie in one folder: /dev/shm
for ram, the build tree for disk. The served archive lies on tmpfs in both runs
(the serving side is the same for all sides); it is made once and kept in the
build tree (bench-work/cache).

    python3 install_bench.py --on ram|disk [--rounds 10]

(or the target bench_install, which runs both). Then the peak working set of
install_bench.exe against bare_loop.exe's (goal: at most 1.5x), the size of
velmora.exe (goal: under 4 MB, read as 4 000 000 bytes) and last "ratio
<velmora / native>x curl -o + bsdtar -xf (goal <= 1.0x), <velmora / floor>x ...",
medians of the ratios round by round, each with its spread.
"""
import os
import random
import shutil
import subprocess
import sys
import time
import zipfile

from benchsupport import (LineProgram, Machine, MiB, SideFailed, arguments, describe_folders, file_system,
                          work_folder)
from nginx_server import nginx
from wine import BIN, Failure, WineSession

OBJECT = "/wot/wows/cj/pd/lh.zip"
BENCH = os.path.join(BIN, "bench")
SIDES = ["velmora", "floor", "native"]
EXE_GOAL = 4_000_000


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


def unpacked(folder):
    """(files, bytes) below folder."""
    files = size = 0
    for root, _, names in os.walk(folder):
        for n in names:
            files += 1
            size += os.path.getsize(os.path.join(root, n))
    return files, size


def measure(wine, work, www, rounds):
    cache = os.path.join(BIN, "bench-work", "cache", "lh-v1.zip")
    if not os.path.exists(cache):
        make_archive(cache)
    os.makedirs(www + os.path.dirname(OBJECT))
    shutil.copy(cache, www + OBJECT)
    with zipfile.ZipFile(cache) as z:
        infos = [i for i in z.infolist() if not i.is_dir()]
    want = (len(infos), sum(i.file_size for i in infos))
    size = os.path.getsize(cache)
    print(f"archive: {size / MiB:.1f} MiB, {want[0]} entries, {want[1] / MiB:.1f} MiB unpacked")
    d = {n: os.path.join(work, n) for n in ("program", "game", "tmp", "floor-game", "native-game")}
    for folder in d.values():
        os.makedirs(folder)
    for k in [k for k in wine.env if k.lower().endswith("_proxy")]:
        del wine.env[k]
    w = wine.windows_path

    def check(folder, side):
        got = unpacked(folder)
        if got != want:
            raise SideFailed(f"{side} unpacked {got[0]} files, {got[1]} bytes; the archive holds {want}")

    with nginx(www, wine.artifacts) as (port, _):
        velmora_prog = LineProgram(wine, os.path.join(BENCH, "install", "install_bench.exe"), "--host",
                                   "127.0.0.1", "--port", str(port), "--program", w(d["program"]),
                                   "--game", w(d["game"]), "--tmp", w(d["tmp"]))
        floor_zip = os.path.join(work, "floor.zip")
        floor_prog = LineProgram(wine, os.path.join(BENCH, "floor", "bare_loop.exe"), "--repeat", "--host",
                                 "127.0.0.1", "--port", str(port), "--object", OBJECT, "--out", w(floor_zip),
                                 "--unpack", w(d["floor-game"]))
        try:
            def velmora():
                r = velmora_prog.ask()
                if r.get("ok") != "1":
                    raise SideFailed(f"install_bench: {r}")
                check(os.path.join(d["game"], "profile"), "velmora")
                return {k: float(r[k + "_ms"]) for k in ("total", "download", "store", "unpack", "finish", "send",
                                                          "read", "tempfile", "move", "remove")}

            def floor():
                r = floor_prog.ask()
                if r.get("ok") != "1":
                    raise SideFailed(f"bare_loop: {r}")
                check(d["floor-game"], "floor")
                return {k: float(r[k + "_ms"]) for k in ("total", "fetch", "read", "write", "unpack")}

            def native():
                archive = os.path.join(work, "native.zip")
                t0 = time.monotonic()
                a = subprocess.run(["curl", "-s", "--noproxy", "*", "-o", archive,
                                    f"http://127.0.0.1:{port}{OBJECT}"]).returncode
                t1 = time.monotonic()
                b = subprocess.run(["bsdtar", "-xf", archive, "-C", d["native-game"]]).returncode if a == 0 else 1
                t2 = time.monotonic()
                if a or b:
                    raise SideFailed(f"curl exit code {a}, bsdtar exit code {b}")
                check(d["native-game"], "native")
                return {"total": (t2 - t0) * 1000, "curl": (t1 - t0) * 1000, "tar": (t2 - t1) * 1000}

            def clean(side):
                # install_bench clears its game folder itself before each run.
                if side == "floor":
                    shutil.rmtree(d["floor-game"])
                    os.makedirs(d["floor-game"])
                elif side == "native":
                    shutil.rmtree(d["native-game"])
                    os.makedirs(d["native-game"])
                    if os.path.exists(os.path.join(work, "native.zip")):
                        os.unlink(os.path.join(work, "native.zip"))

            rounds.run({"velmora": velmora, "floor": floor, "native": native}, between=clean)
        finally:
            velmora_rest, velmora_code = velmora_prog.finish()
            floor_rest, floor_code = floor_prog.finish()
    left = os.listdir(d["tmp"]) + [n for n in os.listdir(d["program"]) if n.endswith(".zip")]
    if left:
        print(f"NOTE: Velmora left {left} behind")

    def peak(rest):
        for line in rest:
            f = line.split()
            if "peak_working_set" in f:
                return int(f[f.index("peak_working_set") + 1])
        return None

    return size, peak(velmora_rest), peak(floor_rest), (velmora_code, floor_code)


def page_stillness(wine, work):
    """The real velmora.exe installing the same archive from a server on its tool
    port: the longest time its plug-in page took to answer a message sent every
    20 ms, from the press of 安装 to the completion message (download and unpack)."""
    from tool_server import ToolServer
    from wine import TOOL_PORT
    program, game = os.path.join(work, "still-program"), wine.make_game("D:\\StillGame")
    os.makedirs(program)
    shutil.copy(os.path.join(BIN, "velmora.exe"), program)
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write("[设置]\r\n游戏路径=D:\\StillGame\r\n".encode("gb18030"))
    www = os.path.join(work, "still-www")
    os.makedirs(www + os.path.dirname(OBJECT))
    shutil.copy(os.path.join(BIN, "bench-work", "cache", "lh-v1.zip"), www + OBJECT)
    with ToolServer(www, TOOL_PORT):
        app = wine.start_velmora(program)
        ui = wine.driver()
        ui.wait_window("main")
        ui.click("main", "按钮5")  # 炮弹: 蓝色火焰 (lh) is its first row
        ui.call("click-row", "list:pd", 0)
        ui.wait_window("plugin:12")
        ui.click("plugin:12", "按钮1")
        longest, probes = ui.call("watch", "plugin:12", 300000, 20, timeout=330)[1:3]
        ui.expect_message("插件安装完毕", ms=60000)
        ui.close("main")
        wine.wait_exit(app, timeout=60)
    return float(longest), int(probes)


def main():
    args, rounds = arguments(SIDES)
    try:
        with work_folder(args.on, "bench_install") as work, work_folder("ram", "bench_install-www") as www, \
                WineSession() as wine:
            fs_name = file_system(work)[0]
            print(f"== install on {args.on}: {fs_name}")
            for line in describe_folders(work, www):
                print(line)
            machine = Machine()
            size, peak, floor_peak, codes = measure(wine, work, www, rounds)
            stillness = page_stillness(wine, work)
            machine.report()
    except Failure as e:
        print(f"bench_install failed: {e}", file=sys.stderr)
        return 1
    rounds.table([("velmora", "total", "Velmora's whole install (in-process)"),
                  ("velmora", "download", "  download"),
                  ("velmora", "send", "    in HttpSendRequestA"),
                  ("velmora", "read", "    in InternetReadFile"),
                  ("velmora", "tempfile", "    writing the temporary file"),
                  ("velmora", "store", "    the temporary file becomes the stored archive"),
                  ("velmora", "unpack", "  unpack: checks, staging, every entry"),
                  ("velmora", "finish", "  place the files, clean up, archive deleted"),
                  ("velmora", "move", "    moving the staged files into place"),
                  ("velmora", "remove", "    removing files (the stored archive)"),
                  ("floor", "total", "bare WinINet loop + minizip unpack"),
                  ("floor", "fetch", "  fetch into a file"),
                  ("floor", "read", "    in InternetReadFile"),
                  ("floor", "write", "    writing the file"),
                  ("floor", "unpack", "  minizip unpack"),
                  ("native", "total", "curl -o + bsdtar -xf (native)"),
                  ("native", "curl", "  curl -o"),
                  ("native", "tar", "  bsdtar -xf")])
    if codes != (0, 0):
        print(f"NOTE: exit codes install_bench {codes[0]}, bare_loop {codes[1]}")
    if peak is None or not floor_peak:
        print("peak working set: not reported")
    else:
        print(f"peak working set {peak / MiB:.1f} MiB against {floor_peak / MiB:.1f} MiB for the bare loop + "
              f"minizip: {peak / floor_peak:.2f}x (goal <= 1.5x): {'met' if peak <= 1.5 * floor_peak else 'NOT met'}")
    print(f"plug-in page: longest wait for an answer {stillness[0]:.0f} ms over {stillness[1]} probes "
          f"every 20 ms during the download and unpack (goal <= 100 ms): "
          f"{'met' if stillness[0] <= 100 else 'NOT met'}")
    exe = os.path.getsize(os.path.join(BIN, "velmora.exe"))
    print(f"velmora.exe {exe} bytes, goal < 4 MB ({EXE_GOAL} bytes): {'met' if exe < EXE_GOAL else 'NOT met'}")
    native = rounds.paired("velmora", "native", "total", "velmora / curl -o + bsdtar -xf")
    floor = rounds.paired("velmora", "floor", "total", "velmora / bare loop + minizip")
    print(f"ratio {native or 0:.2f}x curl -o + bsdtar -xf (goal <= 1.0x), {floor or 0:.2f}x the bare WinINet "
          f"loop + minizip unpack; medians of the round-by-round ratios, {args.rounds} rounds on {args.on} "
          f"({fs_name})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
