"""First start without config.ini: Velmora asks for the game root, refuses a
wrong folder, stores the right one as GB18030 and shows it; the main window's
title and units are as defined, and closing it ends the program."""
import os

from wine import check, main, velmora_log

ASK = "没有找到游戏安装路径，请选择游戏根目录"
GAME = "D:\\游戏\\World of Warships"
WRONG = "D:\\游戏"


def scenario(wine):
    program = wine.program_dir()
    wine.make_game(GAME)
    app = wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    check(ui.title("main") == "Velmora（Ver 1.1.2）", "main window title")

    ui.expect_message(ASK, title="提示")
    ui.call("wait-browser", 20000)
    wine.screenshot("folder-browser")
    ui.browse(WRONG)
    ui.expect_message("指定的游戏目录不正确")
    ui.browse(GAME)  # asked again after a wrong folder
    ui.expect_message("游戏目录设置完成！")

    with open(os.path.join(program, "config.ini"), "rb") as f:
        stored = f.read()
    expected = ("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030")
    check(stored == expected, f"config.ini holds {stored!r}, expected {expected!r}")
    check(ui.text("main", "编辑框1") == GAME, "编辑框1 shows the game root")
    check(ui.state("main", "编辑框1") == ("visible", "disabled"), "编辑框1 is shown and disabled")

    units = ui.units("main")
    for name in ["按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮8", "按钮6", "按钮7", "标签1"]:
        check(units.get(name) == "visible", f"unit {name} is {units.get(name)}")
    check(ui.text("main", "标签1") == "游戏路径：", "caption of the game path")
    wine.screenshot("main-window")

    # OLE and the web view are bound late; the news page still gets its browser.
    check("news: browser embedded" in velmora_log(program), "the news page embeds the browser")

    ui.close("main")
    check(wine.wait_exit(app) == 0, "Velmora ends when its last window closes")


if __name__ == "__main__":
    main(scenario)
