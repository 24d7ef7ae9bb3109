"""At 144 DPI (150 %) the main window and its units are laid out 1.5 times as
large as their definitions, and the text still fits."""
import os

from wine import check, main


def scenario(wine):
    program = wine.program_dir()
    wine.make_game("D:\\WoWS")
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write("[设置]\r\n游戏路径=D:\\WoWS\r\n".encode("gb18030"))
    wine.prefix_setting("Control Panel\\Desktop", "LogPixels", 144)  # the harness puts 96 back
    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    _, _, w, h = (int(v) for v in ui.call("rect", "main")[1:5])
    check(abs(w - 755 * 1.5) <= 2 and abs(h - 569 * 1.5) <= 2, f"main window {w}x{h} at 144 DPI")
    _, _, bw, bh = (int(v) for v in ui.call("rect", "main", "按钮6")[1:5])
    check(abs(bw - 69 * 1.5) <= 1 and abs(bh - 39 * 1.5) <= 1, f"浏览 is {bw}x{bh}")
    bx = int(ui.call("rect", "main", "按钮7")[1]) - int(ui.call("rect", "main", "按钮1")[1])
    check(abs(bx - (672 - 5) * 1.5) <= 2, f"units keep their places scaled ({bx})")
    wine.screenshot("main-144dpi")


if __name__ == "__main__":
    main(scenario)
