"""The run command as a new user runs it, driven from outside: `bash
scripts/run.sh` for a bounded time, in a Wine prefix of its own (made by run.sh
itself when it is new), and one install in its demo world through the windows
with the project's UI driver: the main window comes up, 炮弹 -> 蓝色炮线's
"详细" -> "安装" says "插件安装完毕", the sample archive lands in the sample game
folder, and closing the main window ends run.sh with exit code 0.

    python3 tests/e2e/demo/drive_run.py [--prefix DIR] [--display private|own]
                                        [--uidriver EXE] [--timeout SECONDS]

--display private (the default): no DISPLAY, so run.sh starts its private Xvfb
(the machine without a display); own: this script starts an Xvfb and gives it
to run.sh as $DISPLAY (a machine with one). A prefix made by one run is used by
the next, so `--display private` and then `--display own` on the same prefix
also try a prefix used on another display than the one it was made on.
The UI driver is the windows-e2e build's (build it first: scripts/test.sh or
`cmake --build --preset windows-e2e`). Fails, with a screenshot in
build/run-check/, when the main window does not come up or any step fails.
"""
import argparse
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e", "harness"))
from wine import Driver, Failure, check, wait_until  # noqa: E402

BLUE_TRAILS = 13
OUT = os.path.join(SOURCE, "build", "run-check")


def say(*parts):
    print("[run-check]", *parts, flush=True)


class Session:
    """What the UI driver needs of a harness session: the environment of run.sh's
    Wine programs, a folder, and screenshots."""

    def __init__(self, env):
        self.env = env
        self.root = OUT
        self.shots = 0

    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(OUT, f"{self.shots:02d}-{label}.png")
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", path], timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path


def start_xvfb():
    for n in range(420, 600):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}") or xvfb.poll() is not None, 20, "Xvfb")
        except Failure:
            xvfb.kill()
            raise
        if xvfb.poll() is None:
            return xvfb, f":{n}"
    raise Failure("no free X display")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--prefix", default=os.path.join(OUT, "wine-prefix"),
                        help="WINEPREFIX for run.sh (made by run.sh when it does not exist)")
    parser.add_argument("--fresh", action="store_true", help="remove the prefix first")
    parser.add_argument("--display", choices=("private", "own"), default="private")
    parser.add_argument("--uidriver", default=os.path.join(SOURCE, "build", "windows-e2e", "tests", "e2e",
                                                           "uidriver.exe"))
    parser.add_argument("--timeout", type=int, default=1800,
                        help="bound of the whole run, set-up and build of windows-demo included")
    args = parser.parse_args()
    if not os.path.isfile(args.uidriver):
        sys.exit(f"run-check: no UI driver at {args.uidriver}: build the windows-e2e preset first")
    os.makedirs(OUT, exist_ok=True)
    if args.fresh:
        shutil.rmtree(args.prefix, ignore_errors=True)

    env = dict(os.environ, WINEPREFIX=os.path.abspath(args.prefix))
    xvfb = None
    if args.display == "own":
        xvfb, env["DISPLAY"] = start_xvfb()
    else:
        env.pop("DISPLAY", None)
    started = time.monotonic()
    say(f"bash scripts/run.sh, WINEPREFIX={env['WINEPREFIX']}, "
        f"DISPLAY={env.get('DISPLAY', '(none: run.sh starts its own)')}")
    run = subprocess.Popen(["bash", "scripts/run.sh"], cwd=SOURCE, env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    lines = queue.Queue()

    def read():
        for raw in run.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            print("  run.sh:", line, flush=True)
            lines.put(line)
        lines.put(None)

    threading.Thread(target=read, daemon=True).start()
    deadline = started + args.timeout
    driver = None
    code = 1
    try:
        # run.sh says which display it made, then world.py says the world is up
        # just before it starts velmora.exe.
        while True:
            try:
                line = lines.get(timeout=max(1, deadline - time.monotonic()))
            except queue.Empty:
                raise Failure(f"run.sh did not start Velmora within {args.timeout} s")
            if line is None:
                raise Failure(f"run.sh ended (exit code {run.wait()}) before it started Velmora")
            m = re.search(r"DISPLAY=(:\d+)", line)
            if m and "DISPLAY" not in env:
                env["DISPLAY"] = m.group(1)
            if line.startswith("demo: game folder"):
                break
        check("DISPLAY" in env, "run.sh did not say which display it runs on")
        build_and_setup = time.monotonic() - started
        say(f"Velmora starting after {build_and_setup:.0f} s (set-up, build, prefix)")
        session = Session(dict(env, WINEDEBUG="-all", LC_ALL="zh_CN.UTF-8", LANG="zh_CN.UTF-8"))
        ui_env = session.env
        driver = Driver.__new__(Driver)  # Driver.__init__ starts the driver from BIN; ours is given
        driver.session = session
        driver.proc = subprocess.Popen(["wine", args.uidriver], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, env=ui_env, cwd=OUT)
        driver.replies = queue.Queue()
        threading.Thread(target=driver._read_replies, daemon=True).start()
        driver.call("ping", timeout=120)
        try:
            driver.wait_window("main", 60000)
        except Failure as e:
            session.screenshot("no-main-window")
            raise Failure(f"the demo's main window did not come up within 60 s: {e}")
        up = time.monotonic() - started
        say(f"main window up after {up:.0f} s")
        session.screenshot("main")
        driver.click("main", "按钮5")
        driver.call("click-row", "list:pd", 1)
        page = f"plugin:{BLUE_TRAILS}"
        driver.wait_window(page)
        driver.click(page, "按钮1")
        driver.expect_message("插件安装完毕", title="提示", ms=60000)
        session.screenshot("installed")
        trails = os.path.join(SOURCE, "build", "demo", "game", "profile", "particles", "trails", "demo_lpx.txt")
        check(os.path.isfile(trails), f"the sample archive did not land in the sample game folder ({trails})")
        driver.close("main")
        driver.quit()
        driver = None
        try:
            code = run.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise Failure("run.sh did not end within 60 s of the main window's close")
        check(code == 0, f"run.sh ended with exit code {code}")
        say(f"passed: window up after {up:.0f} s, install done, run.sh exit 0 after "
            f"{time.monotonic() - started:.0f} s")
        return 0
    except Failure as e:
        say("FAILED:", e)
        return 1
    finally:
        if driver is not None:
            driver.quit(wait=2)
        if run.poll() is None:
            os.killpg(run.pid, signal.SIGTERM)
            try:
                run.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(run.pid, signal.SIGKILL)
        if xvfb is not None:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            xvfb.terminate()
            xvfb.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
