"""Start-up benchmark: "process start -> main window shown" of velmora.exe and of
a minimal Win32 window program, under Wine on a private Xvfb display, timed by
the same program (startup_timer.exe) in alternating rounds. Velmora is started
twice a round: with a web site that answers the version check with the running
version (a normal start), and with one that accepts the connection and never
answers (a silent announcement server). Prints the medians and the ratios
velmora / minimal window and silent / normal. Velmora starts with a config.ini
that holds a valid game root, so no dialog comes between start and the main
window."""
import argparse
import contextlib
import os
import re
import shutil
import socket
import sys
import threading

import announcement
from wine import BIN, SITE_PORT, Failure, WineSession, check, log

GAME = "D:\\Games\\WoWS"
BENCH = os.path.join(BIN, "bench", "startup")


class Site:
    """The web site on the site port: for each connection it reads the mark file
    startup_timer wrote (the index of the program it started) and either answers
    with the announcement page or holds the connection and never answers."""

    def __init__(self, mark_file, silent_index):
        self.mark_file, self.silent_index = mark_file, silent_index
        self.sock = socket.create_server(("127.0.0.1", SITE_PORT))
        self.held, self.served, self.silenced = [], 0, 0
        body = announcement.page().encode()
        self.answer = (b"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                       b"Content-Length: %d\r\n\r\n" % len(body)) + body
        threading.Thread(target=self.run, daemon=True).start()

    def silent(self):
        with contextlib.suppress(OSError, ValueError):
            with open(self.mark_file) as f:
                return int(f.read().strip()) == self.silent_index
        return False

    def run(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self.handle, args=(conn,), daemon=True).start()

    def handle(self, conn):
        with contextlib.suppress(OSError):
            head = b""
            while b"\r\n\r\n" not in head:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                head += chunk
            if self.silent():
                self.silenced += 1
                self.held.append(conn)  # open and silent until the program gives up
                return
            self.served += 1
            conn.sendall(self.answer)
            conn.close()

    def close(self):
        self.sock.close()
        for c in self.held:
            with contextlib.suppress(OSError):
                c.close()


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
    # The same program folder twice, so the two kinds of start are told apart by path.
    silent = os.path.join(wine.root, "silent")
    shutil.copytree(program, silent)
    return (os.path.join(program, "velmora.exe"), os.path.join(silent, "velmora.exe"),
            os.path.join(baseline, "minimal_window.exe"))


def check_no_dialog(wine, velmora):
    """One start watched by the UI driver: the main window, and no message box."""
    if not os.path.exists(os.path.join(BIN, "tests", "e2e", "uidriver.exe")):
        log("no UI driver in this build (VELMORA_BUILD_E2E=OFF): start-up dialogs not checked")
        return
    app = wine.start_velmora(os.path.dirname(velmora), quiet_site=False)
    ui = wine.driver()
    ui.wait_window("main")
    ui.no_msgbox(2000)
    wine.screenshot("velmora-started")
    ui.close("main")
    wine.wait_exit(app)
    ui.quit()


def kind(exe):
    folder = os.path.basename(os.path.dirname(exe.replace("\\", "/"))).lower()
    return {"program": "velmora", "silent": "silent"}.get(folder, "minimal")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    runs = parser.parse_args().runs
    try:
        with WineSession() as wine:
            velmora, silent, minimal = prepare(wine)
            mark = os.path.join(wine.root, "started.txt")
            site = Site(mark, silent_index=2)
            try:
                check_no_dialog(wine, velmora)
                code, out = wine.run(os.path.join(BENCH, "startup_timer.exe"),
                                     "--mark", wine.windows_path(mark), str(runs),
                                     "Minimal window", wine.windows_path(minimal),
                                     "Velmora", wine.windows_path(velmora),
                                     "Velmora", wine.windows_path(silent),
                                     timeout=120 + runs * 90)
            finally:
                site.close()
            with open(os.path.join(wine.artifacts, "startup_timer.log"), "w", encoding="utf-8") as f:
                f.write(out)
            check(code == 0, f"startup_timer failed ({code}):\n{out}")
            medians = {}
            samples = {}
            for what, exe, ms in re.findall(r"^(run|median)\t(.*)\t([\d.]+)\r?$", out, re.M):
                if what == "median":
                    medians[kind(exe)] = float(ms)
                else:
                    samples.setdefault(kind(exe), []).append(float(ms))
            check(set(medians) == {"velmora", "silent", "minimal"}, f"no medians in:\n{out}")
            # Every silent start did reach the silent server: the check did run.
            check(site.silenced >= runs, f"only {site.silenced} checks reached the silent server")
    except Failure as e:
        print(f"bench_startup failed: {e}", file=sys.stderr)
        return 1
    labels = {"minimal": "minimal", "velmora": "velmora", "silent": "silent site"}
    for name in ("minimal", "velmora", "silent"):
        print(f"{labels[name]:12} median {medians[name]:8.1f} ms   runs: "
              + " ".join(f"{x:.0f}" for x in samples[name]))
    print(f"ratio velmora / minimal window: {medians['velmora'] / medians['minimal']:.2f}"
          f"  ({runs} runs each, under Wine)")
    print(f"ratio silent announcement server / normal start: {medians['silent'] / medians['velmora']:.2f}"
          f"  (goal: at most 1.2)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
