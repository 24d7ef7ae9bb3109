"""Uninstalling an icons plug-in whose "\\profile\\gui\\ship_icons" is a link to a
folder outside the game root removes the link only: what it points to survives.
(Wine cannot make folder links itself; one made on the Linux side shows in Wine
as a reparse point, as a junction does on Windows.)"""
import os

from plugins import config_ini
from wine import check, main

GAME = "D:\\WoWS"
ICONS_LIST = "list:tb"
SIMPLE_ICONS = 9  # 精简图标, row 0 of the 图标 list


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    gui = os.path.join(game, "profile", "gui")
    os.makedirs(os.path.join(gui, "flash"))
    open(os.path.join(gui, "flash", "battle_stats.swf"), "wb").write(b"swf")
    open(os.path.join(gui, "battle_stats.xml"), "wb").write(b"<x/>")
    outside = os.path.join(wine.root, "user_files")
    os.makedirs(outside)
    open(os.path.join(outside, "precious.txt"), "wb").write(b"keep me")
    os.symlink(outside, os.path.join(gui, "ship_icons"))

    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    page = ui.open_plugin(ICONS_LIST, 0, f"plugin:{SIMPLE_ICONS}")
    check(ui.text(page, "按钮1") == "已安装", "probe path present")
    ui.click(page, "按钮2")
    title, text = ui.msgbox()
    link = os.path.join(gui, "ship_icons")
    probe = os.path.join(gui, "flash", "battle_stats.swf")
    ui.answer()
    if text == "卸载成功！":  # Windows removes a folder link with RemoveDirectoryW
        check(title == "提示" and not os.path.lexists(link), "the link is removed")
        check(not os.path.exists(probe), "probe path removed")
        check(ui.text(page, "按钮1") == "安装", "caption back to 安装")
    else:
        # Wine 8's RemoveDirectoryW cannot remove a symbolic link (rmdir refuses
        # it); the program must then say so rather than claim success, and keep
        # the probe path so the plug-in still reads as installed.
        check(text == "部分插件文件无法删除，游戏可能正在运行，请先关闭游戏再卸载插件", f"message {text!r}")
        check(os.path.islink(link), "only the link can be left over")
        check(os.path.exists(probe), "the probe path stays while the link is left")
        check(ui.text(page, "按钮1") == "已安装", "caption stays 已安装")
    check(open(os.path.join(outside, "precious.txt"), "rb").read() == b"keep me",
          "the folder the link pointed to is intact")
    check(os.listdir(outside) == ["precious.txt"], "nothing was deleted through the link")
    check(not os.path.exists(os.path.join(gui, "battle_stats.xml")), "the other paths are removed")


if __name__ == "__main__":
    main(scenario)
