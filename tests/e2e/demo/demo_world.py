"""The demo world (demo/world.py) against this build: the tool server answers an
archive for each of the 21 entries, bringing its probe path; Velmora starts with
the sample game folder set and asks nothing; 蓝色炮线 installs through its page;
the preview opens the forum thread as "explorer " + the thread's address; the
hand cursor shows over the preview only. Screenshots of every list page and of
a plug-in page mid-download, at 100 % and 150 % DPI, for the README."""
import io
import os
import shutil
import sys
import urllib.request
import zipfile

from wine import BIN, check, main, wait_until

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
    ui.click("main", "按钮5")
    ui.call("click-row", "list:pd", 1)
    ui.wait_window(page)
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
    # A stand-in explorer beside the program records how the forum thread is opened.
    shutil.copy2(os.path.join(BIN, "tests", "e2e", "fakegame.exe"),
                 os.path.join(world["program"], "explorer.exe"))
    with demo.servers(world, config) as servers:
        check_archives(world, config)
        status, news = fetch(config["site"], demo.NEWS_PATH)
        check(status == 200 and "资讯" in news.decode("utf-8"), "the web site serves the news page")

        app = wine.start_velmora(world["program"])
        ui = wine.driver()
        ui.wait_window("main")
        ui.click("main", "按钮5")
        ui.call("click-row", "list:pd", 1)
        page = f"plugin:{BLUE_TRAILS}"
        ui.wait_window(page)
        check(ui.cursor_over(page, "图形按钮1") == "hand", "hand cursor over the preview")
        check(ui.cursor_over(page, "按钮1") == "arrow", "default cursor over 按钮1")
        ui.click(page, "图形按钮1")
        record = os.path.join(world["program"], "explorer.started.txt")
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
        os.remove(os.path.join(world["program"], "explorer.exe"))

        for dpi in (96, 144):
            tour(wine, world, dpi, servers)


if __name__ == "__main__":
    main(scenario)
