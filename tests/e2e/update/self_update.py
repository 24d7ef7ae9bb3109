"""Taking the update: the update window as defined, with the page's notes and
nothing else of the page, the progress texts ticking while the new version
downloads beside the interface from another server, its signature checked, the
new exe byte-identical in the program folder under the page's name, then the
success message and the offer to start it. "No" keeps the program; "yes" (the
release now behind a redirect of the site) starts the new version in the program
folder and ends this one."""
import os
import re
import time

import announcement
from tool_server import ToolServer
from updatesupport import exes, new_version, prepare, sign
from wine import SITE_PORT, check, main, wait_until

NAME = "Velmora 1.1.3.exe"
OBJECT = "/1507/down/velmora-1.1.3.exe"
NOTES = ["1. 新增插件：蓝色炮线", "2. 修复：游戏路径含中文时无法安装"] + [f"{i}. 其他改进" for i in range(3, 41)]


def inside(inner, outer):
    x, y, w, h = inner
    X, Y, W, H = outer
    return X <= x and Y <= y and x + w <= X + W and y + h <= Y + H


def take_update(wine, ui):
    ui.expect_message("检测到版本已更新,是否升级到最新版本？", title="提示", button="yes")
    ui.wait_window("update")


def scenario(wine):
    program = prepare(wine)
    exe = new_version()
    with ToolServer(None, SITE_PORT) as site, ToolServer() as releases:
        # The release on a server of its own (another port), signed by the build's key.
        releases.serve(OBJECT, exe, "application/octet-stream")
        releases.serve(OBJECT + ".minisig", sign(exe, "1.1.3", NAME), "text/plain")
        site.serve(announcement.PATH, announcement.page(
            latest="1.1.3", file_name=NAME, address=releases.url(OBJECT), notes=NOTES,
            before="<p>公告开头：这一段不属于更新说明</p>", after="<p>页尾：版权所有</p>"))
        releases.rate = 600 * 1024  # about five seconds for the exe, so the progress can be watched

        app = wine.start_velmora(quiet_site=False)
        ui = wine.driver()
        ui.wait_window("main")
        take_update(wine, ui)

        check(ui.title("update") == "", "the update window has no title")
        check(ui.text("update", "分组框1") == "更新说明", "the group box caption")
        check(ui.state("update", "编辑框3") == ("visible", "enabled"), "the notes box is shown, not greyed")
        notes_rect = [int(v) for v in ui.call("rect", "update", "编辑框3")[1:5]]
        group_rect = [int(v) for v in ui.call("rect", "update", "分组框1")[1:5]]
        check(inside(notes_rect, group_rect), f"notes box {notes_rect} inside its group box {group_rect}")
        check(ui.text("update", "标签1") == "当前版本：1.1.2", "the current version")
        wait_until(lambda: ui.lines("update", "编辑框3") == NOTES, 20, "the notes")
        first, last_in_view, read_only, bar = ui.call("scroll-end", "update", "编辑框3")[1:5]
        check(int(first) > 0 and last_in_view == "1", f"40 lines of notes scroll to the last: {first}")
        check(read_only == "1" and bar == "1", "the notes are read-only, with a scroll bar")

        # The progress as 时钟1 writes it, while the main window still answers.
        seen, rates = [], set()
        shot = False
        end = time.monotonic() + 60
        while time.monotonic() < end:
            text = ui.text("update", "透明标签4")
            m = re.search(r"\d+", text)
            check(m, f"right label reads {text!r}")
            rate = ui.text("update", "透明标签1")
            if re.search(r"\d", rate):
                rates.add(rate)
            if not seen or int(m.group()) != seen[-1]:
                seen.append(int(m.group()))
            if len(seen) == 3 and not shot:
                shot = True
                wine.screenshot("update-downloading")
                ui.click("main", "按钮5")
                ui.wait_window("list:pd", 5000)
                # Wine 8 raises the main window above the update window it owns
                # (it keeps only owned pop-ups above their owner); a user clicks it back.
                ui.call("raise", "update")
            if seen[-1] == 100 or ui.call("no-msgbox", 0, expect_ok=False)[0] == "err":
                break
            time.sleep(0.2)
        check(len(seen) >= 4 and seen == sorted(seen), f"the percentage ticks upwards: {seen}")
        check(len(rates) >= 2, f"the rate figure shows and changes: {rates}")

        check(ui.msgbox(60000) == ("提示", "新版本已经下载完成，感谢您的支持！"), "the success message")
        wine.screenshot("downloaded")
        ui.answer()
        ui.expect_message("是否立即启动新版本？", title="提示", button="no")
        check("100" in ui.text("update", "透明标签4"), "the bar ends at 100 %")
        check(ui.text("update", "透明标签5") == "下载完成", "the state line")
        with open(os.path.join(program, NAME), "rb") as f:
            check(f.read() == exe, "the new exe is byte-identical")
        check(exes(program) == [NAME], f"only the new exe beside velmora.exe: {exes(program)}")
        paths = [p for p, _ in site.requests if p == announcement.PATH]
        check(paths == [announcement.PATH, announcement.PATH], f"requests to the site: {paths}")
        paths = [p for p, _ in releases.requests]
        check(paths == [OBJECT, OBJECT + ".minisig"], f"requests for the release: {paths}")

        # "No" keeps the program; closing the window leaves the main window.
        ui.close("update")
        ui.gone_window("update")
        ui.click("main", "按钮2")
        ui.wait_window("list:mz", 5000)
        ui.close("main")
        check(wine.wait_exit(app) == 0, "Velmora ends cleanly")
        ui.quit()

        # Again, the page naming the site, which redirects to the release, and "yes":
        # the new version starts in the program folder, this one ends.
        releases.rate = None
        releases.requests.clear()
        site.redirect(OBJECT, releases.url(OBJECT))
        site.redirect(OBJECT + ".minisig", releases.url(OBJECT + ".minisig"))
        site.serve(announcement.PATH, announcement.page(
            latest="1.1.3", file_name=NAME, address=site.url(OBJECT), notes=NOTES))
        app = wine.start_velmora(quiet_site=False)
        ui = wine.driver()
        ui.wait_window("main")
        take_update(wine, ui)
        ui.expect_message("新版本已经下载完成，感谢您的支持！", ms=60000)
        ui.expect_message("是否立即启动新版本？", button="yes")
        check(wine.wait_exit(app) == 0, "Velmora ends once the new version runs")
        started = os.path.join(program, "Velmora 1.1.3.started.txt")
        wait_until(lambda: os.path.exists(started), 20, "the new version to start")
        with open(started, encoding="utf-8") as f:
            folder = f.readline().strip()
        check(folder.lower() == wine.windows_path(program).lower(), f"started in {folder}")
        with open(os.path.join(program, NAME), "rb") as f:
            check(f.read() == exe, "the replaced exe is byte-identical")
        paths = [p for p, _ in releases.requests]
        check(paths == [OBJECT, OBJECT + ".minisig"], f"the redirects followed: {paths}")


if __name__ == "__main__":
    main(scenario)
