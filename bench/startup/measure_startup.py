"""Start-up benchmark: "process start -> main window shown" of velmora.exe and of
a minimal Win32 window program, under Wine on a private Xvfb display, timed by
the same program (startup_timer.exe) in alternating rounds. Prints both medians
and their ratio. Velmora starts with a config.ini that holds a valid game root,
so no dialog comes between start and the main window."""
import argparse
import os
import re
import shutil
import sys

from wine import BIN, Failure, WineSession, check, log

GAME = "D:\\Games\\WoWS"
BENCH = os.path.join(BIN, "bench", "startup")


def prepare(wine):
    program = wine.program_dir()
    wine.map_drive("d", os.path.join(wine.root, "drive_d"))
    game = wine.linux_path(GAME)
    os.makedirs(game, exist_ok=True)
    # The game root check wants the game's executable directly in the folder.
    shutil.copy2(os.path.join(BENCH, "minimal_window.exe"), os.path.join(game, "WorldOfWarships.exe"))
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030"))
    baseline = os.path.join(wine.root, "baseline")
    os.makedirs(baseline)
    shutil.copy2(os.path.join(BENCH, "minimal_window.exe"), baseline)
    return os.path.join(program, "velmora.exe"), os.path.join(baseline, "minimal_window.exe")


def check_no_dialog(wine, velmora):
    """One start watched by the UI driver: the main window, and no message box."""
    if not os.path.exists(os.path.join(BIN, "tests", "e2e", "uidriver.exe")):
        log("no UI driver in this build (VELMORA_BUILD_E2E=OFF): start-up dialogs not checked")
        return
    app = wine.start(velmora)
    ui = wine.driver()
    ui.wait_window("main")
    ui.no_msgbox(2000)
    wine.screenshot("velmora-started")
    ui.close("main")
    wine.wait_exit(app)
    ui.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    runs = parser.parse_args().runs
    try:
        with WineSession() as wine:
            velmora, minimal = prepare(wine)
            check_no_dialog(wine, velmora)
            code, out = wine.run(os.path.join(BENCH, "startup_timer.exe"), str(runs),
                                 "Velmora", wine.windows_path(velmora),
                                 "Minimal window", wine.windows_path(minimal),
                                 timeout=120 + runs * 60)
            with open(os.path.join(wine.artifacts, "startup_timer.log"), "w", encoding="utf-8") as f:
                f.write(out)
            check(code == 0, f"startup_timer failed ({code}):\n{out}")
            medians = {}
            samples = {}
            for kind, exe, ms in re.findall(r"^(run|median)\t(.*)\t([\d.]+)\r?$", out, re.M):
                name = "velmora" if exe.lower().endswith("velmora.exe") else "minimal"
                if kind == "median":
                    medians[name] = float(ms)
                else:
                    samples.setdefault(name, []).append(float(ms))
            check(set(medians) == {"velmora", "minimal"}, f"no medians in:\n{out}")
    except Failure as e:
        print(f"bench_startup failed: {e}", file=sys.stderr)
        return 1
    for name in ("minimal", "velmora"):
        print(f"{name:8} median {medians[name]:8.1f} ms   runs: "
              + " ".join(f"{x:.0f}" for x in samples[name]))
    print(f"ratio velmora / minimal window: {medians['velmora'] / medians['minimal']:.2f}"
          f"  ({runs} runs each, under Wine)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
