"""An icons plug-in uninstalled while a file of its set is held open (as the
running game holds it): the rest goes, the probe path stays, the caption stays
"已安装"; once the file is let go, a second "卸载" removes the rest."""
import os
import subprocess

from plugins import config_ini
from wine import BIN, check, main

GAME = "D:\\WoWS"
ICONS_LIST = "list:tb"
SLIM_ICONS = 9  # 精简图标: plug-in page plugin:9, row 0 of the 图标 list
ICONS_SET = ["gui/ship_dead_icons/a.dds", "gui/ship_icons/sub/b.dds", "gui/ship_own_icons/c.dds",
             "gui/battle_loading.xml", "gui/battle_stats.xml", "gui/results_screen.xml",
             "gui/flash/battle_stats.swf"]
HELD = "gui/ship_icons/sub/b.dds"
PROBE = "gui/flash/battle_stats.swf"


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    profile = os.path.join(game, "profile")
    for tail in ICONS_SET:
        os.makedirs(os.path.dirname(os.path.join(profile, tail)), exist_ok=True)
        with open(os.path.join(profile, tail), "wb") as f:
            f.write(b"icon")

    holder = subprocess.Popen(["wine", os.path.join(BIN, "tests", "e2e", "catalogue", "file_holder.exe"),
                               GAME + "\\profile\\" + HELD.replace("/", "\\")],
                              env=wine.env, cwd=wine.root, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    wine.procs.append(holder)
    check(holder.stdout.readline().strip() == b"held", "the holder has the file open")

    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    page = ui.open_plugin(ICONS_LIST, 0, f"plugin:{SLIM_ICONS}")
    check(ui.text(page, "按钮1") == "已安装", "installed before the uninstall")

    ui.click(page, "按钮2")
    ui.expect_message("部分插件文件无法删除，游戏可能正在运行，请先关闭游戏再卸载插件")
    check(ui.text(page, "按钮1") == "已安装", "a stopped removal still reads as installed")
    left = sorted(t for t in ICONS_SET if os.path.exists(os.path.join(profile, t)))
    check(left == sorted([HELD, PROBE]), f"only the held file and the probe path are left: {left}")
    wine.screenshot("held-file-left")

    holder.stdin.close()  # the game has closed
    check(holder.wait(timeout=30) == 0, "the holder let go of the file")
    ui.click(page, "按钮2")
    ui.expect_message("卸载成功！", title="提示")
    check(ui.text(page, "按钮1") == "安装", "caption after the second uninstall")
    left = [t for t in ICONS_SET if os.path.exists(os.path.join(profile, t))]
    check(not left, f"the second uninstall removed the rest: {left}")
    check(not os.path.exists(os.path.join(profile, "gui", "ship_icons")), "the emptied folder went too")
    wine.screenshot("removed")


if __name__ == "__main__":
    main(scenario)
