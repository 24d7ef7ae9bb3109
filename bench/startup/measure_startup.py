"""Start-up benchmark: "process start -> main window shown" of velmora.exe against
the platform's floor, a minimal window program with the same manifest (common
controls 6, DPI awareness), and a second floor, that window holding the units
of Velmora's main window and news page as plain standard controls (what Wine
takes for the controls themselves), all timed by startup_timer.exe under the same Wine,
on a private Xvfb display, in rounds that start every program once in rotating
order. "Shown" is when the window, visible, answers a message the timer sends:
its thread takes messages again, so ShowWindow and UpdateWindow are done (the
time it first became visible is printed too). There is no native tool to set
beside a Windows window's start.

Velmora is started twice a round: with a web site that answers the version check
with the running version (the normal start, the figure of the goal), and with
one that accepts the connection and never answers (a silent announcement
server, which must not delay the window). Velmora starts with a config.ini that
holds a valid game root, so no dialog comes between start and the main window;
one start is first watched by the UI driver to make sure of that.

Then the breakdown of the normal start: every line Velmora's diagnostics log
(velmora.log in its program folder) holds that begins with "start:", placed
against the wall time startup_timer took just before CreateProcessW (the same
clock function as the log's), as the median over the counted starts.

    python3 measure_startup.py --on ram|disk [--rounds 10]

(or the target bench_startup, which runs both). Everything of a run (program
folders, log, config.ini, the game folder on D:) lies in one folder: /dev/shm
for ram, the build tree for disk (a start writes no temporary file). The last line is
"ratio <velmora / minimal window>x ... (goal <= 1.2x), <velmora / plain controls>x
..., <silent / normal>x ...".
"""
import contextlib
import datetime
import os
import re
import shutil
import socket
import statistics
import sys
import threading

import announcement
from benchsupport import Machine, arguments, describe_folders, file_system, ratio, unmap_drive, work_folder
from wine import BIN, SITE_PORT, Failure, WineSession, check, log

GAME = "D:\\Games\\WoWS"
BENCH = os.path.join(BIN, "bench", "startup")
SIDES = ["velmora", "minimal", "controls", "silent"]
LABELS = {"velmora": "Velmora, normal start", "minimal": "minimal window, same manifest",
          "controls": "its units as plain controls",
          "silent": "Velmora, silent announcement site"}


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


def prepare(wine, work):
    """The three program folders and the game in the run's folder; returns
    side -> exe (Linux path)."""
    program = os.path.join(work, "program")
    os.makedirs(program)
    shutil.copy2(os.path.join(BIN, "velmora.exe"), program)
    wine.map_drive("d", os.path.join(work, "drive_d"))
    game = wine.linux_path(GAME)
    os.makedirs(game, exist_ok=True)
    # The game root check wants the game's executable directly in the folder.
    shutil.copy2(os.path.join(BENCH, "minimal_window.exe"), os.path.join(game, "WorldOfWarships.exe"))
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030"))
    baseline = os.path.join(work, "baseline")
    os.makedirs(baseline)
    shutil.copy2(os.path.join(BENCH, "minimal_window.exe"), baseline)
    shutil.copy2(os.path.join(BENCH, "plain_controls_window.exe"), baseline)
    # The same program folder twice, so the two kinds of start are told apart by path.
    silent = os.path.join(work, "silent")
    shutil.copytree(program, silent)
    return {"velmora": os.path.join(program, "velmora.exe"), "silent": os.path.join(silent, "velmora.exe"),
            "minimal": os.path.join(baseline, "minimal_window.exe"),
            "controls": os.path.join(baseline, "plain_controls_window.exe")}


def check_no_dialog(wine, program):
    """One start watched by the UI driver: the main window, and no message box."""
    if not os.path.exists(os.path.join(BIN, "tests", "e2e", "uidriver.exe")):
        log("no UI driver in this build (VELMORA_BUILD_E2E=OFF): start-up dialogs not checked")
        return
    app = wine.start_velmora(program, quiet_site=False)
    ui = wine.driver()
    ui.wait_window("main")
    ui.no_msgbox(2000)
    wine.screenshot("velmora-started")
    ui.close("main")
    wine.wait_exit(app)
    ui.quit()


STAMP = "%Y-%m-%d %H:%M:%S.%f"
LOG_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) start: (.*?)\r?$")


def start_steps(log_path, program_windows_path):
    """(time, step) for every "start:" line of the log; the program folder in a
    step's text reads "<program folder>", so both runs' steps compare."""
    steps = []
    with open(log_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = LOG_LINE.match(line)
            if m:
                text = m.group(2).replace(program_windows_path, "<program folder>")
                steps.append((datetime.datetime.strptime(m.group(1), STAMP), text))
    return steps


def breakdown(starts, steps, window_ms, floors):
    """Per step, the median time from process start over the starts that logged
    it. starts: [(stamp, next stamp or None)] of the counted normal starts, in
    the order they ran; window_ms: the timer's figures of each."""
    offsets = {}
    for (begin, end), timer in zip(starts, window_ms):
        offsets.setdefault("[timer] main window visible", []).append(timer["visible"])
        offsets.setdefault("[timer] main window shown: answers a message", []).append(timer["ms"])
        for t, text in steps:
            if t >= begin and (end is None or t < end):
                offsets.setdefault(text, []).append((t - begin).total_seconds() * 1000)
    for name, ms in floors.items():
        if ms is not None:
            offsets[f"[floor] {name} shown (its own starts)"] = [ms]
    rows = sorted(((statistics.median(v), len(v), k) for k, v in offsets.items()))
    print(f"Velmora's start-up steps, median from process start over {len(starts)} starts "
          f"(log lines are whole milliseconds):")
    print("  from start  since prev  starts  step")
    previous = 0.0
    for ms, n, text in rows:
        if text.startswith("[floor]"):  # another program's: no step of Velmora's
            print(f"  {ms:8.0f} ms {'-':>11}  {'-':>6}  {text}")
            continue
        seen = f"{n}/{len(starts)}"
        print(f"  {ms:8.0f} ms {ms - previous:8.0f} ms  {seen:>6}  {text}")
        previous = ms
    if not any(not k.startswith("[") for k in offsets):
        print("  (no \"start:\" line in velmora.log fell inside a counted start)")


def measure(wine, work, runs, rounds):
    """Runs the timer over the three sides; returns the starts in the order run
    [(round, side, ms or None, stamp, why)], the normal start's log steps and how
    many starts the silent site held."""
    exes = prepare(wine, work)
    mark = os.path.join(work, "started.txt")
    # startup_timer is given the sides in SIDES order; the index marks the silent one.
    try:
        site = Site(mark, silent_index=SIDES.index("silent"))
    except OSError as e:
        raise Failure(f"cannot serve the site port {SITE_PORT} ({e}): another build folder's scenarios? "
                      f"Give this build folder ports of its own (-DVELMORA_SITE_PORT=...)")
    try:
        check_no_dialog(wine, os.path.dirname(exes["velmora"]))
        timer_args = []
        for side in SIDES:
            title = "Velmora" if side in ("velmora", "silent") else "Minimal window"
            timer_args += [title, wine.windows_path(exes[side])]
        code, out = wine.run(os.path.join(BENCH, "startup_timer.exe"), "--mark", wine.windows_path(mark),
                             str(runs), *timer_args, timeout=120 + runs * 120)
    finally:
        site.close()
    with open(os.path.join(wine.artifacts, "startup_timer.log"), "w", encoding="utf-8") as f:
        f.write(out)
    check(code == 0, f"startup_timer failed ({code}):\n{out}")
    side_of = {wine.windows_path(exe): side for side, exe in exes.items()}
    starts = []
    for line in out.splitlines():
        fields = line.rstrip("\r").split("\t")
        if fields[0] == "run":
            starts.append((int(fields[1]), side_of[fields[2]], {"ms": float(fields[3]), "visible": float(fields[5])},
                           datetime.datetime.strptime(fields[4], STAMP), None))
        elif fields[0] == "fail":
            starts.append((int(fields[1]), side_of[fields[2]], None,
                           datetime.datetime.strptime(fields[4], STAMP), fields[3]))
    check(len(starts) == (runs + 1) * len(SIDES), f"not every start reported:\n{out}")
    for r in range(runs + 1):
        parts = []
        for rr, side, ms, _, why in starts:
            if rr != r:
                continue
            if ms is None:
                rounds.record(r, side, failure=why)
                parts.append(f"{side} FAILED")
            else:
                rounds.record(r, side, ms)
                parts.append(f"{side} {ms['ms']:.0f}")
        print(f"{rounds.label(r)}: " + ", ".join(parts) + " ms")
    program = os.path.dirname(exes["velmora"])
    steps = start_steps(os.path.join(program, "velmora.log"), wine.windows_path(program))
    return starts, steps, site.silenced


def main():
    args, rounds = arguments(SIDES)
    try:
        with work_folder(args.on, "bench_startup") as work, WineSession() as wine:
            fs_name = file_system(work)[0]
            print(f"== start-up on {args.on}: {fs_name}")
            for line in describe_folders(work, holds="every side's program folder, velmora.log, "
                                                      "config.ini and the game folder (D:)"):
                print(line)
            machine = Machine()
            try:
                starts, steps, silenced = measure(wine, work, args.rounds, rounds)
            finally:
                unmap_drive("d", work)
            machine.report()
    except Failure as e:
        print(f"bench_startup failed: {e}", file=sys.stderr)
        return 1

    rows = []
    for s in SIDES:
        rows += [(s, "ms", LABELS[s]), (s, "visible", "  first visible")]
    rounds.table(rows)
    # Every silent start should have reached the silent server: else the check did not run.
    if silenced < args.rounds:
        print(f"NOTE: only {silenced} starts reached the silent site; the silent figure is not what it says")
    # The counted normal starts, each up to the next start of any program.
    normal, shown = [], []
    for i, (r, side, ms, stamp, _) in enumerate(starts):
        if r >= 1 and side == "velmora" and ms is not None:
            normal.append((stamp, starts[i + 1][3] if i + 1 < len(starts) else None))
            shown.append(ms)
    breakdown(normal, steps, shown, {"minimal window": rounds.median("minimal", "ms"),
                                     "plain controls window": rounds.median("controls", "ms")})
    rounds.paired("velmora", "minimal", "ms", "velmora / minimal window")
    rounds.paired("velmora", "controls", "ms", "velmora / its units as plain controls")
    rounds.paired("silent", "velmora", "ms", "silent site / normal start")
    v, m, c, s = (rounds.median(x, "ms") for x in SIDES)
    print(f"ratio {ratio(v, m)} the minimal window with the same manifest (goal <= 1.2x), "
          f"{ratio(v, c)} that window with Velmora's units as plain controls, "
          f"silent announcement site {ratio(s, v)} the normal start (goal <= 1.2x); "
          f"medians of {args.rounds} rounds on {args.on} ({fs_name})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
