"""At 144 DPI (150 %) the main window and its units are laid out 1.5 times as
large as their definitions, and the text still fits."""
import os
import subprocess

from wine import check, main

KEY = "HKCU\\Control Panel\\Desktop"


def set_dpi(wine, dpi):
    subprocess.run(["wine", "reg", "add", KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                   env=wine.env, check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def scenario(wine):
    program = wine.program_dir()
    wine.make_game("D:\\WoWS")
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write("[设置]\r\n游戏路径=D:\\WoWS\r\n".encode("gb18030"))
    set_dpi(wine, 144)
    try:
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
    finally:
        set_dpi(wine, 96)


if __name__ == "__main__":
    main(scenario)
