"""The list pages and plug-in pages through the real windows: every list page
shows its rows in catalogue order, each with its category's icon; an installed
entry's row button shows the installed face ("已安装" at rest, "重装" under the
mouse) and the others the details face; Tab reaches the row buttons and Enter
presses them, as it does on a selected row; a download writes its status texts
in order and brings the bar to 100; a tech-tree uninstall shows "插件已卸载"."""
import os

from plugins import config_ini, trails_archive
from tool_server import ToolServer
from wine import PICTURES, TOOL_PORT, check, difference, main, picture_region, screen_region, wait_until

GAME = "D:\\WoWS"
ROWS = {
    "list:mz": ("列表框", "icon_mz.png", ["网格瞄准", "偏航准星", "蓝色科技", "白色精简准星", "绿色科技"]),
    "list:kjs": ("科技树列表框", "icon_kjs.png", ["PacificGirls", "舰C舰N", "舰C1", "舰C2"]),
    "list:tb": ("图标列表框", "icon_tb.png", ["精简图标", "巨响图标", "彩字图标"]),
    "list:pd": ("炮弹列表框", "icon_pd.png", ["蓝色火焰", "蓝色炮线", "红色炮线", "AP蓝HE红"]),
    "list:qt": ("其他列表框", "icon_qt.png", ["舰名汉化", "小地图增强", "大地图血条", "战列舰视角增强", "彩色预览"]),
}
PAGE_BUTTONS = {"list:mz": "按钮2", "list:kjs": "按钮3", "list:tb": "按钮4", "list:pd": "按钮5", "list:qt": "按钮8"}
STATUS = ["正在连接Internet", "Internet连接已建立", "服务器支持网络续传", "开始下载", "正在解压", "下载完毕"]
VK_TAB, VK_RETURN, VK_DOWN = 9, 13, 40


def face(name, state, x, y, shot):
    """How far the row button at (x, y) is from state `state` of a face strip."""
    return difference(screen_region(shot, x, y, 63, 23),
                      picture_region(os.path.join(PICTURES, name), 0, 23 * state, 63, 23))


def row_face(wine, ui, page, row, state):
    x, y = (int(v) for v in ui.call("row-rect", page, row)[1:3])
    shot = wine.screenshot(f"{page.replace(':', '-')}-row{row}-state{state}")
    return {f: face(f"face_{f}.png", state, x, y, shot) for f in ("details", "installed")}


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    with ToolServer(None, TOOL_PORT) as server:
        wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        for page, (unit, icon, names) in ROWS.items():
            ui.click("main", PAGE_BUTTONS[page])
            ui.wait_window(page)
            check(ui.call("items", page, unit)[1:] == names, f"{page} rows in catalogue order")
            lx = int(ui.call("rect", page, unit)[1])
            expected = picture_region(os.path.join(PICTURES, icon), 0, 0, 35, 35)

            def icons_differ():
                # The page may still be painting when it first shows: look again.
                shot = wine.screenshot(page.replace(":", "-"))
                return [difference(screen_region(shot, lx + 12, int(ui.call("row-rect", page, row)[2]) - 6, 35, 35),
                                   expected) for row in range(len(names))]
            got = icons_differ()
            for _ in range(10):
                if max(got) < 12:
                    break
                got = icons_differ()
            check(max(got) < 12, f"{page}: every row shows its category icon (differences {got})")
            for row in range(len(names)):
                check(ui.call("row-text", page, row)[1] == "详细", f"{page} row {row} not installed")

        # Keyboard: a selected row opens with Enter; Tab reaches a row button, Enter presses it.
        ui.click("main", "按钮5")
        ui.call("focus", "list:pd", "炮弹列表框")
        wait_until(lambda: ui.call("focused")[1] == "ListBox", 10, "the focus on the list")
        ui.call("key", VK_DOWN)
        ui.call("key", VK_DOWN)
        ui.call("key", VK_RETURN)
        ui.wait_window("plugin:13")  # 蓝色炮线, the second row
        ui.close("plugin:13")
        ui.gone_window("plugin:13")
        ui.call("focus", "list:pd", "row", 2)
        wait_until(lambda: ui.call("focused")[2] == "2002", 10, "the focus on 红色炮线's row button")
        ui.call("key", VK_TAB)
        wait_until(lambda: ui.call("focused")[2] == "2003", 10, "Tab to the next row button")
        ui.call("key", VK_RETURN)
        ui.wait_window("plugin:15")  # AP蓝HE红: the row button after 红色炮线's
        ui.close("plugin:15")
        ui.gone_window("plugin:15")

        # A download writes its status texts in order and brings the bar to 100.
        # The server holds the body midway until "开始下载" has been seen.
        archive = trails_archive(os.path.join(wine.root, "lpx.zip"), noise=256 << 10)
        with open(archive, "rb") as f:
            server.serve("/wot/wows/cj/pd/lpx.zip", f.read(), "application/zip", held_after=128 << 10)
        ui.call("click-row", "list:pd", 1)
        ui.wait_window("plugin:13")
        seen = []
        ui.click("plugin:13", "按钮1")

        def watch():
            text = ui.text("plugin:13", "标签2")
            if not seen or seen[-1] != text:
                seen.append(text)
            if text == "开始下载":
                server.go_on()
            return text == "下载完毕"
        wait_until(watch, 30, "the download to finish", interval=0.01)
        ui.expect_message("插件安装完毕", title="提示")
        shown = [t for t in seen if t != "等待下载"]
        check(shown == [t for t in STATUS if t in shown] and "开始下载" in shown,
              f"status texts in their order: {seen}")
        check(ui.call("progress", "plugin:13", "进度条1")[1] == "100", "the bar reaches 100")
        ui.close("plugin:13")
        ui.gone_window("plugin:13")

        # Installed rows (the three sharing the trails) show the installed face.
        rest = row_face(wine, ui, "list:pd", 2, 0)
        check(rest["installed"] < 12 < rest["details"], f"installed face at rest: {rest}")
        check(ui.cursor_over("list:pd", row=2) == "arrow", "the default cursor over a row button")
        ui.call("hover-row", "list:pd", 2)
        hot = row_face(wine, ui, "list:pd", 2, 1)
        check(hot["installed"] < 12, f"\"重装\" under the mouse: {hot}")
        other = row_face(wine, ui, "list:pd", 0, 0)
        check(other["details"] < 12 < other["installed"], f"details face on 蓝色火焰: {other}")

        # A tech-tree uninstall.
        os.makedirs(os.path.join(game, "profile", "gui", "ship_previews_ds"))
        os.makedirs(os.path.join(game, "profile", "gui", "ship_previews", "a"))
        ui.open_plugin("list:kjs", 2, "plugin:7")
        check(ui.text("plugin:7", "按钮1") == "已安装", "the tech tree reads as installed")
        ui.click("plugin:7", "按钮2")
        ui.expect_message("插件已卸载")
        check(not os.path.exists(os.path.join(game, "profile", "gui", "ship_previews")), "both folders gone")
        wait_until(lambda: ui.call("row-text", "list:kjs", 0)[1] == "详细", 10, "the rows follow the uninstall")


if __name__ == "__main__":
    main(scenario)
