"""Closing a plug-in page while its download runs cancels it without a message
and without touching the game folder; the page stays responsive meanwhile, its
buttons are off; opening the page again resumes the same download where it
stopped and installs. Closing the main window during a download ends the
program cleanly."""
import os
import re
import shutil

from plugins import BLUE_TRAILS, SHELLS_LIST, config_ini, trails_archive
from tool_server import ToolServer
from wine import TOOL_PORT, check, main, wait_until

GAME = "D:\\WoWS"
SIZE = 8 * 1024 * 1024  # some 20 s at the slow rate: the close comes long before the end


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    root = os.path.join(wine.root, "server")
    trails_archive(os.path.join(root, "wot/wows/cj/pd/lpx.zip"), noise=SIZE)
    page = f"plugin:{BLUE_TRAILS}"
    trails_archive(os.path.join(root, "wot/wows/cj/pd/hpx.zip"), noise=SIZE)
    with ToolServer(root, TOOL_PORT, rate=400 * 1024) as server:
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        ui.click("main", "按钮5")
        ui.call("click-row", SHELLS_LIST, 1)
        ui.wait_window(page)
        ui.click(page, "按钮1")
        wait_until(lambda: ui.text(page, "标签2") == "开始下载" and ui.text(page, "标签4") != "", 20,
                   "the download to run")
        check(ui.state(page, "按钮1") == ("visible", "disabled"), "install button off while it runs")
        check(ui.state(page, "按钮2") == ("visible", "disabled"), "uninstall button off while it runs")
        # Nothing else may change the game folder meanwhile: the other pages'
        # buttons and 浏览 are off too, also on a page opened during the download.
        check(ui.state("main", "按钮6") == ("visible", "disabled"), "浏览 off during a download")
        ui.call("click-row", SHELLS_LIST, 3)
        other = f"plugin:{BLUE_TRAILS + 2}"
        ui.wait_window(other)
        check(ui.state(other, "按钮1") == ("visible", "disabled"), "another page cannot install meanwhile")
        check(ui.state(other, "按钮2") == ("visible", "disabled"), "another page cannot uninstall meanwhile")
        wine.screenshot("downloading")
        ui.close(page)
        ui.gone_window(page)
        ui.no_msgbox(1500)
        wait_until(lambda: ui.state(other, "按钮1") == ("visible", "enabled"), 10, "the other page's buttons back")
        check(ui.state("main", "按钮6") == ("visible", "enabled"), "浏览 back once the download ended")
        ui.close(other)
        ui.gone_window(other)
        check(not os.path.exists(os.path.join(game, "profile")), "nothing unpacked after a cancel")
        check(not os.path.exists(os.path.join(program, "lpx.zip")), "no archive after a cancel")

        server.rate = None
        ui.call("click-row", SHELLS_LIST, 1)
        ui.wait_window(page)
        ui.click(page, "按钮1")
        ui.expect_message("插件安装完毕")
        ranges = [re.search(rb"range: ?bytes=(\d+)-", raw, re.I) for _, raw in server.requests]
        offsets = [int(m.group(1)) for m in ranges if m]
        check(len(offsets) == 2 and offsets[0] == 0 and offsets[1] > 0,
              f"second download resumes after the held bytes: {offsets}")
        check(os.path.isfile(os.path.join(game, "profile", "particles", "trails", "noise.bin")),
              "resumed archive is whole and unpacks")
        wine.screenshot("resumed-installed")
        ui.close(page)
        ui.gone_window(page)

        # 红色炮线 (row 2) downloading slowly when the whole program is closed.
        shutil.rmtree(os.path.join(game, "profile"))
        server.rate = 400 * 1024
        ui.call("click-row", SHELLS_LIST, 2)
        red = f"plugin:{BLUE_TRAILS + 1}"
        ui.wait_window(red)
        ui.click(red, "按钮1")
        wait_until(lambda: ui.text(red, "标签2") == "开始下载", 20, "the second download to run")
        ui.close("main")
        check(wine.wait_exit(app, timeout=30) == 0, "Velmora ends cleanly when closed mid-download")
        check(not os.path.exists(os.path.join(game, "profile")), "nothing unpacked after closing")


if __name__ == "__main__":
    main(scenario)
