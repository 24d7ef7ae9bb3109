"""config.ini as the user saved it: a file Notepad saved as "Unicode" (UTF-16LE
with a byte-order mark) is read without asking and stays UTF-16LE after "浏览",
every other line byte for byte, even for a Korean folder name; in a GBK file,
which cannot spell that name, the choice is refused with a message that says so,
and the file is left as it was."""
import os

from wine import Failure, check, main, wait_until

GAME = "D:\\战舰世界\\WoWS"
KOREAN = "D:\\게임\\전함세계"
NAME_NOT_STORABLE = "游戏目录的名称含有无法保存的字符，请选择路径只含中文或英文的文件夹"


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


def browse(ui, folder):
    """浏览 and the folder chosen. Under load Wine's folder browser has been seen
    to miss a selection by path once: it is cancelled and opened again. (The
    driver checks the selected item's name, so the folders' last names differ.)"""
    for attempt in range(3):
        ui.click("main", "按钮6")
        try:
            ui.browse(folder)
            return
        except Failure:
            if attempt == 2:
                raise
            ui.browse_cancel()


def scenario(wine):
    program = wine.program_dir()
    wine.make_game(GAME)
    wine.make_game(KOREAN)
    ini = os.path.join(program, "config.ini")
    lines = "; 用记事本保存\r\n[其他]\r\n名字=舰长\r\n[设置]\r\n游戏路径={}\r\n[窗口]\r\nx=1\r\n"
    with open(ini, "wb") as f:
        f.write(utf16(lines.format(GAME)))

    app = wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    wait_until(lambda: ui.text("main", "编辑框1") == GAME, 10, "the stored game root shown")
    ui.no_msgbox(0)

    browse(ui, KOREAN)
    ui.expect_message("游戏目录设置完成！")
    stored = open(ini, "rb").read()
    check(stored == utf16(lines.format(KOREAN)), f"config.ini stays UTF-16LE with the new path: {stored!r}")
    check(ui.text("main", "编辑框1") == KOREAN, "编辑框1 shows the new game root")
    wine.screenshot("utf16-korean-stored")
    ui.close("main")
    check(wine.wait_exit(app) == 0, "Velmora ends")

    # The code page's file cannot spell Korean on a system without GB18030 (Wine 8:
    # GBK); a system that has it stores the name, so the test takes what it finds.
    gbk = ("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030")
    with open(ini, "wb") as f:
        f.write(gbk)
    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    wait_until(lambda: ui.text("main", "编辑框1") == GAME, 10, "the GBK file's game root shown")
    browse(ui, KOREAN)
    _, text = ui.msgbox()
    wine.screenshot("gbk-korean-told")
    if open(ini, "rb").read() == gbk:
        check(text == NAME_NOT_STORABLE, f"the name is told as not storable, not as a write failure: {text!r}")
        check(ui.text("main", "编辑框1") == GAME, "the game root stays as it was")
    else:
        check(text == "游戏目录设置完成！", f"stored in GB18030 and confirmed: {text!r}")
    ui.answer()


if __name__ == "__main__":
    main(scenario)
