"""Every fixed text a label or button can show is read in full in its unit, at
100 % and at 150 % DPI: the main window's caption of the game path, the plug-in
page's status texts, speed caption, rate and unit, and the buttons' captions.
The widest rate figures up to 1 Gbit/s end before the unit "k/S" begins. At
150 % the main window and its units are 1.5 times as large, in their places."""
from wine import check, log, main

GAME = "D:\\WoWS"
STATUS = ["等待下载", "正在连接Internet", "Internet连接已建立", "服务器支持网络续传",
          "服务器不支持网络续传", "开始下载", "下载完毕", "已取消下载"]
TEXTS = {
    ("main", "标签1"): ["游戏路径："],
    ("main", "按钮6"): ["浏览"],
    ("main", "按钮7"): ["启动"],
    ("plugin:13", "标签2"): STATUS,
    ("plugin:13", "标签8"): ["下载速度："],
    ("plugin:13", "标签6"): ["k/S"],
    ("plugin:13", "按钮1"): ["安装", "已安装"],
    ("plugin:13", "按钮2"): ["卸载"],
}
# The widest figures of each form the rate takes (8 is the widest digit in most faces).
RATES = ["88.8", "8888", "8.88万", "88.8万"]


def check_texts(wine, ui, dpi):
    for (window, unit), texts in TEXTS.items():
        for text in texts:
            lines, widest, width, height, line = (int(v) for v in ui.call("fits", window, unit, text, dpi)[1:6])
            check(widest <= width and lines * line <= height,
                  f"at {dpi} DPI {window}/{unit} cannot show {text!r}: {lines} line(s) of {line} px, "
                  f"widest {widest} px, in {width} x {height}")
    # 标签4 runs on below 标签6: what shows of the rate is what lies left of "k/S".
    room = int(ui.call("rect", "plugin:13", "标签6")[1]) - int(ui.call("rect", "plugin:13", "标签4")[1])
    for text in RATES:
        widest = int(ui.call("fits", "plugin:13", "标签4", text, dpi)[2])
        log(f"at {dpi} DPI the rate {text!r} is {widest} px wide, {room} px before k/S")
        check(widest <= room, f"at {dpi} DPI the rate {text!r} ({widest} px) runs into k/S ({room} px)")


def geometry(ui):
    """The main window's size, 浏览's size, and how far 启动 lies from 资讯."""
    rect = lambda *where: [int(v) for v in ui.call("rect", "main", *where)[1:5]]
    return rect()[2:] + rect("按钮6")[2:] + [rect("按钮7")[0] - rect("按钮1")[0]]


def run_at(wine, dpi):
    wine.prefix_setting("Control Panel\\Desktop", "LogPixels", dpi)  # the harness puts 96 back
    app = wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    sizes = geometry(ui)
    ui.open_plugin("list:pd", 1, "plugin:13")
    check_texts(wine, ui, dpi)
    wine.screenshot(f"plugin-page-{dpi}dpi")
    ui.close("main")
    wine.wait_exit(app)
    return sizes


def scenario(wine):
    program = wine.program_dir()
    wine.make_game(GAME)
    with open(f"{program}/config.ini", "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030"))
    at96, at144 = run_at(wine, 96), run_at(wine, 144)
    check(all(abs(b - a * 1.5) <= 2 for a, b in zip(at96, at144)), f"scaled 1.5 times: {at96} -> {at144}")


if __name__ == "__main__":
    main(scenario)
