"""One install is one job, from the press to the message, and its archive lives
on disk. Mid-download the program folder holds no archive yet (the body goes
into ~~N.tmp); during the unpacking it holds lpx.zip; after the message neither
remains. Then a 1,500-file reinstall whose page is closed as its commit begins:
浏览 stays off until the job has ended (never on while it runs), and once the
same game folder is chosen again the folder holds all of the new plug-in or all
of the old, with no journal or staging left. The download waits at the server
until the test lets it go on: nothing here waits on a race."""
import glob
import os
import random
import re
import time

from plugins import BLUE_TRAILS, SHELLS_LIST, config_ini, make_archive
from tool_server import ToolServer
from wine import PREFIX, TOOL_PORT, check, main, velmora_log, wait_until

GAME = "D:\\WoWS"
OBJECT = "/wot/wows/cj/pd/lpx.zip"
PAGE = f"plugin:{BLUE_TRAILS}"
FILES = 1500
TRAILS = "profile/particles/trails/many"


def archive(wine, name, version):
    files = {f"{TRAILS}/{i:04}.xml": f"<trail n='{i}' v='{version}'/>".encode() * 40 for i in range(FILES)}
    # Half the archive is more than one read of the downloader (Wine's reads wait
    # for a whole buffer).
    files["profile/particles/trails/noise.bin"] = random.Random(version).randbytes(2 * 1024 * 1024)
    return open(make_archive(os.path.join(wine.root, name), files), "rb").read()


def versions(game):
    """The versions the installed trail files hold, and how many files."""
    folder = os.path.join(game, *TRAILS.split("/"))
    names = os.listdir(folder) if os.path.isdir(folder) else []
    found = set()
    for n in names:
        m = re.search(rb"v='(\w+)'", open(os.path.join(folder, n), "rb").read())
        found.add(m.group(1).decode() if m else "?")
    return found, len(names)


def temp_files():
    return glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "**", "~~*.tmp"), recursive=True)


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    stored = os.path.join(program, "lpx.zip")
    old, new = archive(wine, "old.zip", "old"), archive(wine, "new.zip", "new")
    with ToolServer(port=TOOL_PORT) as server:
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        ui.open_plugin(SHELLS_LIST, 1, PAGE)

        # 1. The archive on disk: held in ~~N.tmp mid-download, lpx.zip while unpacked.
        held_before = set(temp_files())
        server.serve(OBJECT, old, content_type="application/zip", held_after=len(old) // 2)
        ui.click(PAGE, "按钮1")
        wait_until(lambda: ui.progress(PAGE, "进度条1") > 0, 20, "half the archive to arrive")
        check(not os.path.exists(stored), "mid-download the program folder holds no archive yet")
        check(set(temp_files()) - held_before, f"the body goes into a ~~N.tmp file: {temp_files()}")
        server.go_on()
        seen_unpacking = False
        while ui.call("msgbox", 0, expect_ok=False)[0] != "ok":
            if ui.text(PAGE, "标签2") == "正在解压":
                seen_unpacking = True
                check(os.path.exists(stored), "during the unpacking the program folder holds lpx.zip")
            time.sleep(0.05)
        check(seen_unpacking, "the unpacking of 1,500 entries was seen")
        ui.expect_message("插件安装完毕")
        check(not os.path.exists(stored), "the archive is gone after the message")
        check(not set(temp_files()) - held_before, "no ~~N.tmp is left")
        check(versions(game) == ({"old"}, FILES), f"installed: {versions(game)}")

        # 2. The reinstall's page closed as its commit begins; 浏览 at once.
        server.serve(OBJECT, new, content_type="application/zip")
        ui.click(PAGE, "按钮1")
        wait_until(lambda: ui.text(PAGE, "标签2") == "正在解压" and ui.progress(PAGE, "进度条1") >= 99, 120,
                   "the staging to end")
        ui.close(PAGE)
        ui.gone_window(PAGE, 1000)
        ui.click("main", "按钮6")  # refused while the job runs: the button is off
        ended = re.compile(r"install lpx: (installed|stopped|game files in use)")
        while True:
            # Read in this order: 浏览 on before the job has logged its end is the fault.
            on = ui.state("main", "按钮6") == ("visible", "enabled")
            done = ended.search(velmora_log(program))
            check(done or not on, "浏览 stays off until the install's job has ended")
            if on:
                break
            time.sleep(0.02)
        ui.no_msgbox(0)
        ui.click("main", "按钮6")
        ui.browse(GAME)
        ui.expect_message("游戏目录设置完成！")
        found, count = versions(game)
        check(count == FILES and len(found) == 1, f"all of one plug-in, never a mix: {found}, {count} files")
        left = [n for n in os.listdir(game) if n.lower().startswith("velmora-unpack")]
        check(not left, f"no journal or staging left: {left}")
        wine.screenshot("after-reinstall")
        ui.close("main")
        check(wine.wait_exit(app, timeout=30) == 0, "Velmora ends cleanly")


if __name__ == "__main__":
    main(scenario)
