"""The demo world (demo/world.py) against this build: the tool server answers an
archive for each of the 21 entries, bringing its probe path; Velmora starts with
the sample game folder set and asks nothing; 蓝色炮线 installs through its page;
the preview opens the forum thread as "explorer " + the thread's address, run by
the system's explorer (C:\\windows\\explorer.exe); the hand cursor shows over the
preview only. An explorer.exe and a wininet.dll planted beside velmora.exe never
run, through the start, the preview's click and the install. Screenshots of
every list page and of a plug-in page mid-download, at 100 % and 150 % DPI, for
the README. The signed sample release of run.sh --with-update is stored and
offered."""
import contextlib
import io
import os
import shutil
import sys
import urllib.request
import zipfile

from wine import BIN, PREFIX, check, main, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "demo"))
import world as demo  # noqa: E402

LISTS = ["list:mz", "list:kjs", "list:tb", "list:pd", "list:qt"]
PAGE_BUTTONS = ["按钮2", "按钮3", "按钮4", "按钮5", "按钮8"]
BLUE_TRAILS = 13


def fetch(port, path):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=10) as r:
        return r.status, r.read()


def check_archives(world, config):
    entries = world["entries"]
    check(len(entries) == 21, f"{len(entries)} catalogue entries")
    for e in entries:
        status, body = fetch(config["tool"], e["server"])
        names = zipfile.ZipFile(io.BytesIO(body)).namelist()
        probe = e["probe"].lstrip("\\").replace("\\", "/")
        check(status == 200 and any(n == probe or n.startswith(probe + "/") for n in names),
              f"{e['server']} answers an archive bringing {probe}: {status} {names}")


@contextlib.contextmanager
def stand_in_explorer():
    """The prefix's C:\\windows\\explorer.exe, which Velmora names by its full
    path, replaced by the stand-in for the scenario and put back after; yields
    the stand-in's record of its start."""
    windows = os.path.join(PREFIX, "drive_c", "windows")
    system = os.path.join(windows, "explorer.exe")
    real = system + ".velmora-real"
    if not os.path.exists(real):  # else a run cut short left the stand-in in place
        shutil.copy2(system, real)
    shutil.copy2(os.path.join(BIN, "tests", "e2e", "fakegame.exe"), system)
    record = os.path.join(windows, "explorer.started.txt")
    with contextlib.suppress(FileNotFoundError):
        os.remove(record)
    try:
        yield record
    finally:
        shutil.copy2(real, system)
        os.remove(real)
        with contextlib.suppress(FileNotFoundError):
            os.remove(record)


def tour(wine, world, dpi, servers):
    wine.prefix_setting("Control Panel\\Desktop", "LogPixels", dpi)  # the harness puts 96 back
    app = wine.start_velmora(world["program"])
    ui = wine.driver()
    ui.wait_window("main")
    # The start-up shows the root once it has decided on it; a question would come first.
    wait_until(lambda: ui.text("main", "编辑框1") == world["game_windows"], 10, "the sample game folder shown")
    ui.no_msgbox(0)
    for button, page in zip(PAGE_BUTTONS, LISTS):
        ui.click("main", button)
        ui.wait_window(page)
        wine.screenshot(f"{page.replace(':', '-')}-{dpi}dpi")
        if dpi == 96 and page == "list:pd":
            ui.screenshot_window("main", "readme-list-pd")
    # A plug-in page mid-download: a long archive comes slowly. It keeps flowing
    # rather than stalling, because a page blocked in a silent read takes its
    # close only when the receive timeout ends the read.
    entry = world["entries"][BLUE_TRAILS]
    with open(os.path.join(world["server"], entry["server"].lstrip("/")), "rb") as f:
        archive = f.read()
    servers["tool"].serve(entry["server"], archive + os.urandom(48 << 20), "application/zip")
    servers["tool"].rate = 512 * 1024  # some 100 s for the whole, far beyond the tour
    page = f"plugin:{BLUE_TRAILS}"
    ui.open_plugin("list:pd", 1, page)
    ui.click(page, "按钮1")
    wait_until(lambda: ui.text(page, "标签4") != "", 20, "the download to show its rate")
    wine.screenshot(f"plugin-page-downloading-{dpi}dpi")
    if dpi == 96:  # the README's pictures (docs/)
        ui.screenshot_window("main", "readme-plugin-page-downloading")
    ui.close(page)
    ui.gone_window(page)
    servers["tool"].serve(entry["server"], archive, "application/zip")
    servers["tool"].rate = None
    ui.close("main")
    wine.wait_exit(app)


def scenario(wine):
    config = demo.build_config(BIN)
    world = demo.make_world(os.path.join(wine.root, "world"), BIN, demo.catalogue(BIN, wine.env))
    # Planted beside the program, each leaving a marker when run or loaded. Wine
    # would take its own wininet over one found first on the search path;
    # Windows would not, and neither does Wine with this. Wine's embedded
    # browser (the news page, empty under Wine anyway) is left out, so that
    # Velmora's own load of wininet is the first.
    planted = {"explorer.exe": os.path.join(BIN, "tests", "e2e", "fakegame.exe"),
               "wininet.dll": os.path.join(BIN, "tests", "e2e", "demo", "planted", "wininet.dll")}
    for name, source in planted.items():
        shutil.copy2(source, os.path.join(world["program"], name))
    markers = [os.path.join(world["program"], m) for m in ("explorer.started.txt", "wininet.loaded.txt")]
    wine.env["WINEDLLOVERRIDES"] += ";wininet=n,b;ieframe="
    with demo.servers(world, config) as servers, stand_in_explorer() as record:
        check_archives(world, config)
        status, news = fetch(config["site"], demo.NEWS_PATH)
        check(status == 200 and "资讯" in news.decode("utf-8"), "the web site serves the news page")

        app = wine.start_velmora(world["program"])
        ui = wine.driver()
        ui.wait_window("main")
        page = ui.open_plugin("list:pd", 1, f"plugin:{BLUE_TRAILS}")
        check(ui.cursor_over(page, "图形按钮1") == "hand", "hand cursor over the preview")
        check(ui.cursor_over(page, "按钮1") == "arrow", "default cursor over 按钮1")
        ui.click(page, "图形按钮1")
        wait_until(lambda: os.path.exists(record) and os.path.getsize(record) > 0, 20, "explorer to run")
        command = open(record, encoding="utf-8").read().split("\n")[1].strip()
        thread = f"http://127.0.0.1:{config['forum']}/thread-42918187-1-1.html"
        check(command == "explorer " + thread, f"the forum thread opens as {command!r}")
        status, _ = fetch(config["forum"], f"/thread-42918187-1-1.html")
        check(status == 200, "the forum stand-in has the thread")

        ui.click(page, "按钮1")
        ui.expect_message("插件安装完毕", title="提示")
        trails = os.path.join(world["game"], "profile", "particles", "trails", "demo_lpx.txt")
        check(os.path.isfile(trails), "the sample archive landed in the sample game folder")
        ui.close("main")
        wine.wait_exit(app)
        planted_ran = [m for m in markers if os.path.exists(m)]
        check(planted_ran == [], f"nothing planted beside the program ran: {planted_ran}")
        for name in planted:
            os.remove(os.path.join(world["program"], name))

        for dpi in (96, 144):
            tour(wine, world, dpi, servers)

    # The update road of run.sh --with-update: the sample release, signed with
    # the build's throw-away key, is checked, stored and offered.
    release = demo.sample_release(BIN, config)
    with demo.servers(world, config, release=release):
        app = wine.start_velmora(world["program"])
        ui = wine.driver()
        ui.expect_message("检测到版本已更新,是否升级到最新版本？", button="yes")
        ui.wait_window("update")
        ui.expect_message("新版本已经下载完成，感谢您的支持！", ms=60000)
        ui.expect_message("是否立即启动新版本？", button="no")
        with open(os.path.join(world["program"], release["name"]), "rb") as f:
            check(f.read() == release["exe"], "the sample release is stored byte-identical")
        ui.close("main")
        wine.wait_exit(app)


if __name__ == "__main__":
    main(scenario)
