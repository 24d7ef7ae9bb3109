"""The running game. The stand-in game started from the game folder (it stays
up with its window) blocks "安装" with a message before anything is fetched;
the same program started from another folder is not the game of this folder,
and the install goes through."""
import os

from plugins import BLUE_TRAILS, SHELLS_LIST, config_ini, trails_archive
from tool_server import ToolServer
from wine import TOOL_PORT, check, main, wait_until

GAME = "D:\\WoWS"
ELSEWHERE = "D:\\Other"
PAGE = f"plugin:{BLUE_TRAILS}"
RUNNING = "游戏正在运行，请先关闭游戏，再安装插件。"


def start_game(wine, folder):
    """The stand-in WorldOfWarships.exe of `folder`, kept up by its window."""
    env = dict(wine.env)
    wine.env["VELMORA_FAKEGAME_WINDOW"] = "1"
    try:
        game = wine.start(wine.linux_path(folder + "\\WorldOfWarships.exe"), cwd=wine.linux_path(folder))
    finally:
        wine.env.clear()
        wine.env.update(env)
    record = wine.linux_path(folder + "\\WorldOfWarships.started.txt")
    wait_until(lambda: os.path.exists(record), 30, f"the game in {folder} to start")
    return game


def stop_game(game):
    """Ends the stand-in as a crash would (the wine process is the game's), and
    waits until it is gone."""
    game.kill()
    game.wait(timeout=30)


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    other = wine.make_game(ELSEWHERE)
    config_ini(program, GAME)
    root = os.path.join(wine.root, "server")
    trails_archive(os.path.join(root, "wot/wows/cj/pd/lpx.zip"))
    with ToolServer(root, TOOL_PORT) as server:
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        ui.open_plugin(SHELLS_LIST, 1, PAGE)

        running = start_game(wine, GAME)
        ui.click(PAGE, "按钮1")
        ui.expect_message(RUNNING)
        check(not server.requests, "nothing is fetched while the game runs from the game folder")
        check(not os.path.exists(os.path.join(game, "profile")), "the game folder is untouched")
        wine.screenshot("game-running")
        stop_game(running)

        running = start_game(wine, ELSEWHERE)
        ui.click(PAGE, "按钮1")
        ui.expect_message("插件安装完毕")
        check(os.path.exists(os.path.join(game, "profile", "particles", "trails", "blue_ap.xml")),
              "a game from another folder does not block the install")
        check(not os.path.exists(os.path.join(other, "profile")), "nothing is done to the other folder")
        stop_game(running)
        ui.close("main")
        check(wine.wait_exit(app, timeout=30) == 0, "Velmora ends cleanly")


if __name__ == "__main__":
    main(scenario)
