"""A download that does not complete is told, whatever the cause: no tool
server, a 404, a body cut short twice. Each ends with the failure message, the
status label keeps the last state text, and nothing is written to the game
folder or stored beside the program."""
import os

from plugins import BLUE_TRAILS, SHELLS_LIST, config_ini, trails_archive
from tool_server import ToolServer
from wine import TOOL_PORT, check, main

GAME = "D:\\WoWS"
OBJECT = "/wot/wows/cj/pd/lpx.zip"
PAGE = f"plugin:{BLUE_TRAILS}"
FAILED = "插件下载失败，请检查网络连接后重试。"


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    data = open(trails_archive(os.path.join(wine.root, "lpx.zip"), noise=1 << 20), "rb").read()
    app = wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    ui.open_plugin(SHELLS_LIST, 1, PAGE)

    def fails(last_state, what):
        ui.click(PAGE, "按钮1")
        ui.expect_message(FAILED)
        check(ui.text(PAGE, "标签2") == last_state, f"{what}: the status keeps {last_state}")
        check(ui.text(PAGE, "按钮1") == "安装", f"{what}: the caption stays")
        check(not os.path.exists(os.path.join(game, "profile")), f"{what}: nothing in the game folder")
        check(not [f for f in os.listdir(program) if f.endswith(".zip")], f"{what}: no archive stored")

    fails("正在连接Internet", "no tool server")
    with ToolServer(None, TOOL_PORT) as server:
        fails("服务器不支持网络续传", "404")
        server.serve(OBJECT, data, content_type="application/zip", cut_after=300000)
        fails("开始下载", "cut short")
        server.serve(OBJECT, data, content_type="application/zip", cut_after=600000)
        fails("开始下载", "cut short again")
        wine.screenshot("failure-told")
    ui.close("main")
    check(wine.wait_exit(app, timeout=30) == 0, "Velmora ends cleanly")


if __name__ == "__main__":
    main(scenario)
