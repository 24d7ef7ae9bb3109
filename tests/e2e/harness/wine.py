"""The E2E harness: a Wine session with its own Xvfb display in the shared,
reused prefix, with LC_ALL=zh_CN.UTF-8 (ANSI code page 936) and Chinese fonts.

    with WineSession() as wine:            # name from VELMORA_E2E_NAME
        prog = wine.program_dir()          # fresh folder holding velmora.exe
        game = wine.make_game("D:\\游戏\\WoWS")  # fake game on a mapped drive
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        wine.screenshot("main")

Every session's files live in <build>/e2e/<name>/: program/, drives/, artifacts/
(screenshots, logs). Nothing outside the build folder and /tmp is touched.
"""
import contextlib
import fcntl
import os
import queue
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

import announcement
from tool_server import ToolServer

BIN = os.environ.get("VELMORA_E2E_BIN", os.path.abspath("build/windows-e2e"))
NAME = os.environ.get("VELMORA_E2E_NAME", "manual")
PREFIX = os.path.join(BIN, "wine-prefix")
TOOL_PORT = int(os.environ.get("VELMORA_TOOL_PORT", "18431"))
FORUM_PORT = int(os.environ.get("VELMORA_FORUM_PORT", "18432"))
SITE_PORT = int(os.environ.get("VELMORA_SITE_PORT", "18433"))


def free_port():
    """A port on 127.0.0.1 that nothing listens on now (for servers the build's
    addresses do not name, and for a closed port)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


_REG = """Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"FontSmoothing"="2"
"FontSmoothingType"=dword:00000002
"FontSmoothingGamma"=dword:00000578
"FontSmoothingOrientation"=dword:00000001

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"宋体"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
"新宋体"="WenQuanYi Micro Hei"
"NSimSun"="WenQuanYi Micro Hei"
"微软雅黑"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"黑体"="WenQuanYi Micro Hei"
"SimHei"="WenQuanYi Micro Hei"
"""


# Values below HKEY_CURRENT_USER of the shared prefix that a scenario may change
# for itself (WineSession.prefix_setting); int: REG_DWORD, str: REG_SZ (ASCII). Every
# session starts from these, however the one before it ended.
PREFIX_BASELINE = {
    ("Control Panel\\Desktop", "LogPixels"): 96,  # 100 % scaling
}


def log(*parts):
    print("[e2e]", *parts, flush=True)


class Failure(AssertionError):
    pass


def base_env():
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": PREFIX,
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "LC_ALL": "zh_CN.UTF-8",
        "LANG": "zh_CN.UTF-8",
    })
    # Gecko and Mono install prompts are not wanted in tests.
    env["WINEDLLOVERRIDES"] = "mscoree=;winemenubuilder.exe="
    return env


def ensure_prefix():
    """Creates the prefix once (about 10 s) and reuses it afterwards, with its
    PREFIX_BASELINE values."""
    os.makedirs(BIN, exist_ok=True)
    with open(os.path.join(BIN, "wine-prefix.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        _create_prefix()
        restore_baseline()


def _create_prefix():
    stamp = os.path.join(PREFIX, ".velmora-ready-v3")
    if os.path.exists(stamp):
        return
    shutil.rmtree(PREFIX, ignore_errors=True)
    env = base_env()
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe="
    log("creating Wine prefix", PREFIX)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    reg = write_prefix_settings(os.path.join(BIN, "velmora-e2e.reg"))
    subprocess.run(["wine", "regedit", "/S", reg], env=env, check=True, timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    open(stamp, "w").close()


def write_prefix_settings(reg):
    """Writes the prefix's settings (window manager, fonts, crash dialog) as a .reg file for
    `wine regedit /S`; the demo's prefix takes the same. Returns the path."""
    with open(reg, "wb") as f:
        f.write(b"\xff\xfe" + _REG.replace("\n", "\r\n").encode("utf-16-le"))
    return reg


def user_reg_value(key, name):
    """A value below HKEY_CURRENT_USER as the prefix's user.reg holds it: int for a
    dword, str for a string, None when absent. Reading the file is cheap; asking
    Wine would start it."""
    section = "[" + key.replace("\\", "\\\\").lower() + "]"
    want = f'"{name.lower()}"='
    try:
        with open(os.path.join(PREFIX, "user.reg"), encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return None
    inside = False
    for line in lines:
        if line.startswith("["):
            inside = line.lower().split("]", 1)[0] + "]" == section
        elif inside and line.lower().startswith(want):
            value = line[len(want):]
            if value.startswith("dword:"):
                return int(value[6:], 16)
            if len(value) >= 2 and value[0] == value[-1] == '"':
                return value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            return value
    return None


def set_user_value(env, key, name, value):
    kind, data = ("REG_DWORD", str(value)) if isinstance(value, int) else ("REG_SZ", value)
    subprocess.run(["wine", "reg", "add", "HKCU\\" + key, "/v", name, "/t", kind, "/d", data, "/f"],
                   env=env, check=True, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def restore_baseline():
    """Puts back the PREFIX_BASELINE values that differ, such as those a killed
    session left behind."""
    env = base_env()
    # A server left running by a killed session holds the registry in memory and
    # writes user.reg when it ends (3 s after its last program): let it.
    try:
        subprocess.run(["wineserver", "-w"], env=env, timeout=20)
        settled = True
    except subprocess.TimeoutExpired:  # programs of that session still run
        settled = False
    changed = False
    for (key, name), value in PREFIX_BASELINE.items():
        if not settled or user_reg_value(key, name) != value:
            log(f"prefix: HKCU\\{key}\\{name} back to {value}")
            set_user_value(env, key, name, value)
            changed = True
    if changed:
        # The server those changes started must end before the session maps its
        # drives: a server already running did not show them to the folder browser.
        try:
            subprocess.run(["wineserver", "-w"], env=env, timeout=60)
        except subprocess.TimeoutExpired:
            log("prefix: a Wine server still runs programs of another session; drives may not show")


def _free_display():
    for n in range(140, 400):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise Failure("no free X display")


def wait_until(probe, timeout, what, interval=0.05):
    end = time.monotonic() + timeout
    while True:
        r = probe()
        if r:
            return r
        if time.monotonic() > end:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(interval)


class Driver:
    """The UI driver (uidriver.exe) running in the session; one command a call.
    Every reply is awaited for a bounded time: the command's own wait and a
    margin; a driver that does not answer by then fails the call and is ended."""

    # Where a command carries its wait (ms); uidriver waits 10 s when it is absent.
    WAIT_FIELD = {"wait-window": 2, "gone-window": 2, "msgbox": 1, "wait-browser": 1,
                  "no-msgbox": 1, "answer": 2, "browse": 2, "browse-cancel": 2}
    # Beyond the command's wait: answer and browse wait up to 15 s more inside,
    # and Wine under load is slow to start.
    MARGIN = 30

    def __init__(self, session):
        self.session = session
        self.proc = subprocess.Popen(
            ["wine", os.path.join(BIN, "tests", "e2e", "uidriver.exe")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            env=session.env, cwd=session.root)
        self.replies = queue.Queue()
        threading.Thread(target=self._read_replies, daemon=True).start()
        self.call("ping", timeout=120)  # the first Wine program of a session starts slowly

    def _read_replies(self):
        for line in self.proc.stdout:
            self.replies.put(line.decode("utf-8").rstrip("\n"))
        self.replies.put(None)

    def reply_timeout(self, fields):
        at = self.WAIT_FIELD.get(str(fields[0]))
        ms = 10000
        if at is not None and at < len(fields) and str(fields[at]).isdigit():
            ms = int(fields[at])
        return (ms if at is not None else 0) / 1000 + self.MARGIN

    def call(self, *fields, expect_ok=True, timeout=None):
        if self.proc.poll() is not None:
            raise Failure(f"the UI driver has ended (exit code {self.proc.returncode}); cannot send {fields}")
        line = "\t".join(str(f) for f in fields) + "\n"
        self.proc.stdin.write(line.encode("utf-8"))
        self.proc.stdin.flush()
        timeout = timeout or self.reply_timeout(fields)
        try:
            reply = self.replies.get(timeout=timeout)
        except queue.Empty:
            with contextlib.suppress(Exception):
                self.session.screenshot("driver-hangs")
            self.quit(wait=0)  # a late reply would be taken for the next command's
            raise Failure(f"the UI driver gave no answer to {fields} within {timeout:.0f} s")
        if reply is None:
            raise Failure(f"the UI driver ended without answering {fields}")
        parts = reply.split("\t")
        if expect_ok and parts[0] != "ok":
            self.session.screenshot("failure-" + str(fields[0]))
            raise Failure(f"{fields}: {reply}")
        return parts

    # Convenience wrappers; every wait is bounded.
    def wait_window(self, name, ms=20000):
        self.call("wait-window", name, ms)

    def gone_window(self, name, ms=20000):
        self.call("gone-window", name, ms)

    def title(self, name):
        return self.call("title", name)[1]

    def answers(self, window, ms=1000):
        """Whether the window takes a message within `ms` (a hung window does not)."""
        return self.call("answers", window, ms)[1] == "1"

    def keep_answering(self, windows, seconds, every=0.2):
        """Probes the windows every `every` seconds for `seconds`: each must answer
        within 1 s every time, or the window hangs."""
        end = time.monotonic() + seconds
        while True:
            for w in windows:
                if not self.answers(w, 1000):
                    self.session.screenshot("hangs-" + w.replace(":", "-"))
                    raise Failure(f"{w} did not answer a message within 1 s")
            if time.monotonic() >= end:
                return
            time.sleep(every)

    def click(self, window, unit):
        self.call("click", window, unit)

    # The main window's page button of each list page.
    LIST_BUTTONS = {"list:mz": "按钮2", "list:kjs": "按钮3", "list:tb": "按钮4", "list:pd": "按钮5", "list:qt": "按钮8"}

    def open_plugin(self, list_page, row, page):
        """From the main window: the category's list page, then the plug-in page of its row."""
        self.click("main", self.LIST_BUTTONS[list_page])
        self.wait_window(list_page)
        self.call("click-row", list_page, row)
        self.wait_window(page)
        return page

    def text(self, window, unit):
        return self.call("text", window, unit)[1]

    def lines(self, window, unit):
        """A multi-line edit box's text, as a list of its lines."""
        return self.call("lines", window, unit)[1:]

    def screenshot_window(self, window, label):
        """A screenshot of one window's rectangle (with whatever lies over it)."""
        x, y, w, h = (int(v) for v in self.call("rect", window)[1:5])
        path = self.session.screenshot(label)
        subprocess.run(["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", path], timeout=60,
                       check=True)
        return path

    def cursor_over(self, window, unit=None, row=None):
        """Moves the mouse over a unit (or a list page's row button) and tells the
        cursor shown there: "hand", "arrow" or "other"."""
        reply = self.call("hover-row", window, row) if row is not None else self.call("hover", window, unit)
        if reply[1] != "unknown":
            return reply[1]
        # Under Wine: what the X server shows, against a hand and an arrow shown
        # by a window of the driver's own.
        hot = self.session.cursor_hotspot()
        looks = {}
        for name in ("hand", "arrow"):
            self.call("sample-cursor", name)
            looks[self.session.cursor_hotspot()] = name
        self.call("sample-cursor", "off")
        if len(looks) != 2:
            raise Failure(f"the hand and the arrow look alike here: {looks}")
        return looks.get(hot, "other")

    def state(self, window, unit):
        return tuple(self.call("state", window, unit)[1:3])

    def progress(self, window, unit):
        return int(self.call("progress", window, unit)[1])

    def units(self, window):
        return dict(p.split("=", 1) for p in self.call("units", window)[1:])

    def msgbox(self, ms=20000):
        parts = self.call("msgbox", ms)
        return parts[1], parts[2]

    def no_msgbox(self, ms=2000):
        self.call("no-msgbox", ms)

    def answer(self, button="ok", ms=10000):
        self.call("answer", button, ms)

    def expect_message(self, text, title=None, button="ok", ms=20000):
        got_title, got_text = self.msgbox(ms)
        if got_text != text or (title is not None and got_title != title):
            self.session.screenshot("unexpected-message")
            raise Failure(f"message box {got_title!r}/{got_text!r}, expected {title!r}/{text!r}")
        self.answer(button)

    def browse(self, windows_path, ms=20000):
        self.call("browse", windows_path, ms)

    def browse_cancel(self, ms=20000):
        self.call("browse-cancel", "", ms)

    def close(self, window):
        self.call("close", window)

    def quit(self, wait=10):
        with contextlib.suppress(Exception):
            self.proc.stdin.close()
            self.proc.wait(timeout=wait)
        if self.proc.poll() is None:
            self.proc.kill()
            with contextlib.suppress(Exception):
                self.proc.wait(timeout=10)


class WineSession:
    def __init__(self, name=None, screen="1600x1200x24"):
        self.name = name or NAME
        self.root = os.path.join(BIN, "e2e", self.name)
        self.artifacts = os.path.join(self.root, "artifacts")
        self.screen = screen
        self.procs = []
        self.drivers = []
        self.shots = 0
        self.changed_settings = set()
        self._quiet_site = None

    # --- lifecycle -----------------------------------------------------------
    def __enter__(self):
        ensure_prefix()
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.display = _free_display()
        self.xvfb = subprocess.Popen(
            ["Xvfb", f":{self.display}", "-screen", "0", self.screen, "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{self.display}"), 20, "Xvfb")
        self.env = base_env()
        self.env["DISPLAY"] = f":{self.display}"
        self._unmap_test_drives()
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            with contextlib.suppress(Exception):
                self.screenshot("failure")
            log("FAILED:", exc)
        for d in self.drivers:
            d.quit()
        if self._quiet_site is not None:
            with contextlib.suppress(Exception):
                self._quiet_site.__exit__(None, None, None)
        for key, name in self.changed_settings:
            with contextlib.suppress(Exception):
                set_user_value(self.env, key, name, PREFIX_BASELINE[(key, name)])
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for p in self.procs:
            with contextlib.suppress(Exception):
                p.wait(timeout=10)
        self._unmap_test_drives()
        self.xvfb.terminate()
        with contextlib.suppress(Exception):
            self.xvfb.wait(timeout=10)
        log("artefacts in", self.artifacts)
        return False

    # --- files and drives ----------------------------------------------------
    def program_dir(self):
        """A fresh program folder holding velmora.exe (its config.ini goes here)."""
        d = os.path.join(self.root, "program")
        os.makedirs(d, exist_ok=True)
        shutil.copy2(os.path.join(BIN, "velmora.exe"), d)
        return d

    def map_drive(self, letter, linux_dir):
        """Makes linux_dir the drive `letter:` of the prefix for this session."""
        os.makedirs(linux_dir, exist_ok=True)
        link = os.path.join(PREFIX, "dosdevices", letter.lower() + ":")
        with contextlib.suppress(FileNotFoundError):
            os.unlink(link)
        os.symlink(linux_dir, link)
        return linux_dir

    def _unmap_test_drives(self):
        for letter in "dghijk":
            link = os.path.join(PREFIX, "dosdevices", letter + ":")
            if os.path.islink(link) and BIN in os.readlink(link):
                os.unlink(link)

    def linux_path(self, windows_path):
        """Where a D:\\... or Z:\\... path of this session lives on Linux."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
        base = os.path.realpath(os.path.join(PREFIX, "dosdevices", drive + ":"))
        return os.path.join(base, rest.lstrip("/"))

    @staticmethod
    def windows_path(linux_path):
        return "Z:" + os.path.abspath(linux_path).replace("/", "\\")

    def make_game(self, windows_path="D:\\WorldOfWarships"):
        """A fake game folder at windows_path (drive D: maps into the session)."""
        if windows_path[0].lower() != "z" and not os.path.islink(
                os.path.join(PREFIX, "dosdevices", windows_path[0].lower() + ":")):
            self.map_drive(windows_path[0], os.path.join(self.root, "drive_" + windows_path[0].lower()))
        folder = self.linux_path(windows_path)
        os.makedirs(folder, exist_ok=True)
        shutil.copy2(os.path.join(BIN, "tests", "e2e", "fakegame.exe"),
                     os.path.join(folder, "WorldOfWarships.exe"))
        return folder

    def prefix_setting(self, key, name, value):
        """Sets a value below HKEY_CURRENT_USER of the shared prefix for this
        session, e.g. prefix_setting("Control Panel\\Desktop", "LogPixels", 144).
        Only values listed in PREFIX_BASELINE: the session puts the baseline back
        at its end, and the next session at its start should this one be killed."""
        if (key, name) not in PREFIX_BASELINE:
            raise Failure(f"HKCU\\{key}\\{name} is not in PREFIX_BASELINE: add its baseline value first")
        set_user_value(self.env, key, name, value)
        self.changed_settings.add((key, name))

    # --- processes -----------------------------------------------------------
    def start(self, exe, *args, cwd=None):
        log_file = open(os.path.join(self.artifacts, os.path.basename(exe) + ".log"), "ab")
        p = subprocess.Popen(["wine", exe, *args], env=self.env, cwd=cwd or self.root,
                             stdout=log_file, stderr=log_file)
        self.procs.append(p)
        return p

    def run(self, exe, *args, timeout=120, cwd=None):
        """Runs a Windows console program to its end; returns (exit code, stdout text)."""
        r = subprocess.run(["wine", exe, *args], env=self.env, cwd=cwd or self.root,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def start_velmora(self, program=None, quiet_site=True):
        """Starts velmora.exe. Its version check reads the announcement page at
        every start: unless the scenario serves the site itself (quiet_site=False),
        a site on SITE_PORT is started for the session whose page names the running
        version, so that the check shows nothing."""
        if quiet_site:
            self.quiet_site()
        program = program or os.path.join(self.root, "program")
        return self.start(os.path.join(program, "velmora.exe"), cwd=self.root)

    def quiet_site(self):
        """The session's web site with an announcement of the running version
        (started once, stopped with the session); None when the scenario holds
        the site port with a server of its own."""
        if self._quiet_site is None:
            try:
                site = ToolServer(None, SITE_PORT)
            except OSError:  # the scenario serves the site port itself
                return None
            self._quiet_site = site.__enter__()
            self._quiet_site.serve(announcement.PATH, announcement.page())
        return self._quiet_site

    def driver(self):
        d = Driver(self)
        self.drivers.append(d)
        return d

    def wait_exit(self, proc, timeout=30):
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("Velmora did not end")

    def cursor_hotspot(self):
        """The hot spot "x,y" of the mouse cursor the X server shows now. Under Wine
        a program cannot read another program's cursor, so a test asks X."""
        import ctypes

        class CursorImage(ctypes.Structure):
            _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                        ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort)]

        x11 = ctypes.CDLL("libX11.so.6")
        xfixes = ctypes.CDLL("libXfixes.so.3")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XFree.argtypes = [ctypes.c_void_p]
        xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
        xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        dpy = x11.XOpenDisplay(f":{self.display}".encode())
        if not dpy:
            raise Failure("cannot open the X display")
        try:
            image = xfixes.XFixesGetCursorImage(dpy)
            if not image:
                raise Failure("the X server tells no cursor image")
            hot = f"{image.contents.xhot},{image.contents.yhot}"
            x11.XFree(image)
            return hot
        finally:
            x11.XCloseDisplay(dpy)

    # --- artefacts -----------------------------------------------------------
    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.artifacts, f"{self.shots:02d}-{label}.png")
        subprocess.run(["import", "-display", f":{self.display}", "-window", "root", path],
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path


def _rgb(args):
    return subprocess.run(["convert", *args, "-depth", "8", "rgb:-"], capture_output=True, check=True,
                          timeout=60).stdout


def screen_region(shot, x, y, w, h):
    """RGB bytes of a rectangle of a screenshot."""
    return _rgb([shot, "-crop", f"{w}x{h}+{x}+{y}", "+repage"])


def picture_region(picture, x, y, w, h, background="white"):
    """RGB bytes of a rectangle of one of our pictures, laid on a background as
    the program draws it."""
    return _rgb([picture, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-background", background, "-flatten"])


def difference(a, b):
    """Mean difference of two RGB byte strings of the same size, 0..255."""
    if len(a) != len(b) or not a:
        return 255.0
    return sum(abs(p - q) for p, q in zip(a, b)) / len(a)


PICTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "assets", "pictures")


def velmora_log(program):
    """velmora.log beside the exe in `program`, as text ("" before it exists)."""
    path = os.path.join(program, "velmora.log")
    return open(path, "rb").read().decode("utf-8", "replace") if os.path.exists(path) else ""


def check(condition, message):
    if not condition:
        raise Failure(message)


def main(scenario):
    """Runs scenario(session) and exits 0 on success, 1 on failure."""
    try:
        with WineSession() as wine:
            scenario(wine)
    except Exception as e:  # any failure fails the CTest test
        print(f"scenario {NAME} failed: {e}", file=sys.stderr)
        sys.exit(1)
    log(f"scenario {NAME} passed")
