"""Two programs on the player's machine. A second velmora.exe started from the
same program folder shows no second main window: it brings the first one
forward (restored from the taskbar) and ends. Two copies in two program folders
on one game folder install 蓝色炮线 and 红色炮线, which share their 600 files,
pressed 0, 200, 500 and 900 ms apart, ten rounds: each round ends with exactly
one plug-in whole and no file lost, each program's message true to what it did,
and no lock, journal or staging left."""
import os
import re
import shutil
import time

from plugins import BLUE_TRAILS, RED_TRAILS, SHELLS_LIST, config_ini, make_archive
from tool_server import ToolServer
from wine import BIN, TOOL_PORT, Failure, check, main, wait_until

GAME = "D:\\WoWS"
FILES = 600
TRAILS = "profile/particles/trails"
DONE = "插件安装完毕"
BUSY = "另一个Velmora正在修改这个游戏目录，请等它完成后再试。"


def archive(wine, stem):
    files = {f"{TRAILS}/shared/{i:03}.xml": f"<trail n='{i}' by='{stem}'/>".encode() * 20 for i in range(FILES)}
    return open(make_archive(os.path.join(wine.root, stem + ".zip"), files), "rb").read()


def installed(game):
    """Who brought each of the shared files, and how many there are."""
    folder = os.path.join(game, *TRAILS.split("/"), "shared")
    by = set()
    names = os.listdir(folder) if os.path.isdir(folder) else []
    for n in names:
        m = re.search(rb"by='(\w+)'", open(os.path.join(folder, n), "rb").read())
        by.add(m.group(1).decode() if m else "?")
    return by, len(names)


def message(ui, ms=60000):
    text = ui.msgbox(ms)[1]
    ui.answer()
    return text


def scenario(wine):
    game = wine.make_game(GAME)
    first = wine.program_dir()
    config_ini(first, GAME)

    # 1. One program per program folder.
    app = wine.start_velmora(first)
    ui = wine.driver()
    ui.call("bind", wine.windows_path(first))
    ui.wait_window("main")
    ui.call("minimize", "main")
    second = wine.start_velmora(first)
    check(wine.wait_exit(second, timeout=30) == 0, "the second start ends by itself")
    check(ui.call("count-windows", "main")[1] == "1", "no second main window")
    wait_until(lambda: ui.call("iconic", "main")[1] == "0", 10, "the first main window restored")
    check(ui.call("foreground")[1] == "main", "the first main window comes forward")

    # 2. Two program folders, one game folder.
    other = os.path.join(wine.root, "program2")
    os.makedirs(other)
    shutil.copy2(os.path.join(BIN, "velmora.exe"), other)
    config_ini(other, GAME)
    blue, red = archive(wine, "lpx"), archive(wine, "hpx")
    with ToolServer(port=TOOL_PORT) as server:
        server.serve("/wot/wows/cj/pd/lpx.zip", blue, content_type="application/zip")
        server.serve("/wot/wows/cj/pd/hpx.zip", red, content_type="application/zip")
        app2 = wine.start_velmora(other)
        ui2 = wine.driver()
        ui2.call("bind", wine.windows_path(other))
        ui2.wait_window("main")
        pages = []
        for u, row, page in ((ui, 1, f"plugin:{BLUE_TRAILS}"), (ui2, 2, f"plugin:{RED_TRAILS}")):
            u.open_plugin(SHELLS_LIST, row, page)
            pages.append(page)
        for n, gap in enumerate([0, 0.2, 0.5, 0.9] * 2 + [0, 0.5]):
            ui.click(pages[0], "按钮1")
            time.sleep(gap)
            ui2.click(pages[1], "按钮1")
            said = {"lpx": message(ui), "hpx": message(ui2)}
            by, count = installed(game)
            what = f"round {n + 1} ({gap * 1000:.0f} ms): {said}, files {by} x {count}"
            check(count == FILES and len(by) == 1, f"one plug-in whole, no file lost: {what}")
            check(all(t in (DONE, BUSY) for t in said.values()), f"only true messages: {what}")
            winner = by.pop()
            check(said[winner] == DONE, f"the plug-in in place said it was installed: {what}")
            left = [f for f in os.listdir(game) if f.startswith("velmora-")]
            check(not left, f"no lock, journal or staging left: {what}: {left}")
        wine.screenshot("two-programs")
        for u in (ui, ui2):
            u.close("main")
        check(wine.wait_exit(app, timeout=30) == 0 and wine.wait_exit(app2, timeout=30) == 0, "both end cleanly")


if __name__ == "__main__":
    main(scenario)
