"""Install "蓝色炮线" through its plug-in page from a tool server on 127.0.0.1,
see the shared probe path make "红色炮线" read as installed, uninstall it there,
and uninstall again; the page of "蓝色炮线", still open, brought forward reads
the game folder again."""
import os

from plugins import BLUE_TRAILS, RED_TRAILS, SHELLS_LIST, config_ini, trails_archive
from tool_server import ToolServer
from wine import TOOL_PORT, check, main, wait_until

GAME = "D:\\WoWS"


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    root = os.path.join(wine.root, "server")
    trails_archive(os.path.join(root, "wot/wows/cj/pd/lpx.zip"))
    with ToolServer(root, TOOL_PORT, log_path=os.path.join(wine.artifacts, "requests.txt")) as server:
        wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        ui.click("main", "按钮5")
        ui.wait_window(SHELLS_LIST)
        check(ui.call("row-text", SHELLS_LIST, 1)[1] == "详细", "row of a plug-in not installed")
        wine.screenshot("shells-list")

        ui.call("click-row", SHELLS_LIST, 1)
        page = f"plugin:{BLUE_TRAILS}"
        ui.wait_window(page)
        check(ui.title(page) == "下载", "plug-in page title")
        check(ui.text(page, "按钮1") == "安装", "not installed yet")
        check(ui.text(page, "标签2") == "等待下载", "status before the download")
        ui.click(page, "按钮1")
        ui.expect_message("插件安装完毕", title="提示")
        check(ui.text(page, "按钮1") == "已安装", "caption after the install")
        check(ui.text(page, "标签2") == "下载完毕", "status after the download")
        trails = os.path.join(game, "profile", "particles", "trails")
        check(os.path.isfile(os.path.join(trails, "effects", "blue_he.xml")), "archive unpacked into the game root")
        check(not os.path.exists(os.path.join(program, "lpx.zip")), "archive deleted after the install")
        path, raw = server.requests[-1]
        check(path == "/wot/wows/cj/pd/lpx.zip", f"requested {path}")
        check(b"range: bytes=0-" in raw.lower() or b"range:bytes=0-" in raw.lower(), f"range line in {raw!r}")
        wine.screenshot("installed")
        # The page stays open; the rows follow every install: 红色炮线 shares the probe path, 蓝色火焰 does not.
        wait_until(lambda: ui.call("row-text", SHELLS_LIST, 2)[1] == "已安装", 10, "shared probe path on the row")
        check(ui.call("row-text", SHELLS_LIST, 0)[1] == "详细", "蓝色火焰 has a probe path of its own")

        red = f"plugin:{RED_TRAILS}"
        ui.call("click-row", SHELLS_LIST, 2)
        ui.wait_window(red)
        check(ui.text(red, "按钮1") == "已安装", "红色炮线 shares the probe path")
        ui.click(red, "按钮2")
        ui.expect_message("卸载成功！", title="提示")
        check(not os.path.exists(trails), "trails folder removed")
        check(ui.text(red, "按钮1") == "安装", "caption back to 安装")
        ui.click(red, "按钮2")
        ui.expect_message("未安装炮弹插件！")
        ui.close(red)
        ui.gone_window(red)
        # Still open from before, brought forward: it reads the game folder again.
        ui.call("click-row", SHELLS_LIST, 1)
        ui.wait_window(page)
        check(ui.text(page, "按钮1") == "安装", "蓝色炮线 brought forward afterwards reads as not installed")
        check(os.path.isfile(os.path.join(game, "WorldOfWarships.exe")), "the game itself is untouched")


if __name__ == "__main__":
    main(scenario)
