"""However the tool server behaves, the windows keep answering and a close is
taken at once. A server silent before its answer, then one that goes silent
after 1 MiB: probed every 200 ms, the plug-in page and the main window answer a
message within 1 s; the page's buttons, the other pages' and 浏览 are off
meanwhile, and stay off until the install's job has ended; closing the page is
taken within 1 s (the cancel in the log) and leaves the game folder alone; a later press resumes at the held length
and installs the archive byte for byte. Then a 50 MB archive: the main window
answers throughout its unpacking, which 进度条1 and 标签2 follow. Closing the
main window mid-download ends the program cleanly. The server holds its silence
until the test releases it: nothing here waits on a race."""
import os
import random
import re
import time

from plugins import BLUE_TRAILS, SHELLS_LIST, config_ini, make_archive, trails_archive
from tool_server import ToolServer
from wine import TOOL_PORT, check, main, velmora_log, wait_until

GAME = "D:\\WoWS"
OBJECT = "/wot/wows/cj/pd/lpx.zip"
PAGE = f"plugin:{BLUE_TRAILS}"
OTHER = f"plugin:{BLUE_TRAILS + 2}"
MIB = 1024 * 1024


def open_page(ui, row, page):
    ui.call("click-row", SHELLS_LIST, row)
    ui.wait_window(page)


def closed_at_once(ui, program, what):
    """Closes the page mid-download: gone within 1 s, the cancel in the log."""
    started = time.monotonic()
    ui.close(PAGE)
    ui.gone_window(PAGE, 1000)
    wait_until(lambda: "install lpx: cancelled, the page was closed" in velmora_log(program), 1, "the cancel logged")
    check(time.monotonic() - started < 1.5, f"{what}: the close was taken at once")
    ui.keep_answering(["main"], 1)


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    config_ini(program, GAME)
    root = os.path.join(wine.root, "server")
    archive = trails_archive(os.path.join(root, OBJECT.lstrip("/")), noise=3 * MIB)
    data = open(archive, "rb").read()
    with ToolServer(root, TOOL_PORT, hold=120) as server:
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")
        ui.click("main", "按钮5")

        # 1. Silent before the answer.
        server.silent.add(OBJECT)
        open_page(ui, 1, PAGE)
        ui.click(PAGE, "按钮1")
        wait_until(lambda: len(server.requests) == 1, 10, "the request to arrive")
        ui.keep_answering([PAGE, "main"], 6)
        check(ui.state(PAGE, "按钮1") == ("visible", "disabled"), "install button off while it runs")
        check(ui.state("main", "按钮6") == ("visible", "disabled"), "浏览 off during a download")
        open_page(ui, 3, OTHER)
        check(ui.state(OTHER, "按钮2") == ("visible", "disabled"), "another page cannot uninstall meanwhile")
        closed_at_once(ui, program, "silent before the answer")
        # Windows ends the blocked call at the close; Wine only once the server
        # lets go. Either way the buttons come back when the job has ended, never before.
        ended = "download /wot/wows/cj/pd/lpx.zip from 0: status 0, 0 bytes, "
        on = ui.state("main", "按钮6") == ("visible", "enabled")
        check(not on or ended in velmora_log(program), "浏览 stays off while the cancelled job runs")
        server.silent.discard(OBJECT)
        server.release()
        wait_until(lambda: ui.state(OTHER, "按钮1") == ("visible", "enabled"), 30, "the other page's buttons back")
        check(ended in velmora_log(program), "the buttons came back once the job had ended")
        check(ui.state("main", "按钮6") == ("visible", "enabled"), "浏览 back once the job has ended")
        ui.close(OTHER)

        # 2. Silent after 1 MiB; then the resume.
        server.serve(OBJECT, data, content_type="application/zip", stall_after=MIB)
        open_page(ui, 1, PAGE)
        ui.click(PAGE, "按钮1")
        wait_until(lambda: ui.progress(PAGE, "进度条1") > 0, 20, "the first MiB to arrive")
        ui.keep_answering([PAGE, "main"], 6)
        wine.screenshot("silent-mid-body")
        closed_at_once(ui, program, "silent after 1 MiB")
        check(not os.path.exists(os.path.join(game, "profile")), "nothing unpacked after a cancel")
        check(not os.path.exists(os.path.join(program, "lpx.zip")), "no archive after a cancel")
        server.release()
        # The worker lets the held read go once the server closes (at once on
        # Windows, where the close of the page closes the connection).
        wait_until(lambda: re.search(r"download /wot/wows/cj/pd/lpx\.zip from 0: status 206, 1048576 bytes, "
                                     r"Cancelled", velmora_log(program)), 10, "the download to end as cancelled")
        wait_until(lambda: ui.state("main", "按钮6") == ("visible", "enabled"), 10, "浏览 back after the job")
        server.serve(OBJECT, data, content_type="application/zip")
        open_page(ui, 1, PAGE)
        ui.click(PAGE, "按钮1")
        ui.expect_message("插件安装完毕")
        offsets = [int(m.group(1)) for m in (re.search(rb"range: ?bytes=(\d+)-", raw, re.I)
                                             for _, raw in server.requests) if m]
        check(offsets[-2:] == [0, MIB], f"the press after the cancel resumes at the held length: {offsets}")
        noise = os.path.join(game, "profile", "particles", "trails", "noise.bin")
        check(open(noise, "rb").read() == random.Random(7).randbytes(3 * MIB), "installed byte for byte")
        check(ui.text(PAGE, "标签2") == "下载完毕" and ui.progress(PAGE, "进度条1") == 100,
              "the finished page: 下载完毕 at 100")
        ui.close(PAGE)
        ui.gone_window(PAGE)

        # 3. A 50 MB archive: the unpacking is shown, and nothing waits on it.
        big = {f"profile/particles/trails/big/{i:03}.bin": random.Random(i).randbytes(256 * 1024)
               for i in range(200)}
        server.serve(OBJECT, open(make_archive(os.path.join(wine.root, "big.zip"), big), "rb").read(),
                     content_type="application/zip")
        open_page(ui, 1, PAGE)
        ui.click(PAGE, "按钮1")
        seen = set()
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            check(ui.answers("main", 1000), "the main window answers during the install")
            if ui.text(PAGE, "标签2") == "正在解压":
                seen.add(ui.progress(PAGE, "进度条1"))
            if ui.call("msgbox", 0, expect_ok=False)[0] == "ok":
                break
        ui.expect_message("插件安装完毕")
        check(any(0 < p < 100 for p in seen), f"进度条1 follows the unpacking: {sorted(seen)}")
        check(len(os.listdir(os.path.join(game, "profile", "particles", "trails", "big"))) == 200, "all unpacked")

        # 4. The whole program closed mid-download ends cleanly.
        server.serve(OBJECT, data, content_type="application/zip", stall_after=MIB)
        ui.click(PAGE, "按钮1")
        wait_until(lambda: ui.progress(PAGE, "进度条1") > 0, 20, "the download to run")
        ui.close("main")
        server.release()
        check(wine.wait_exit(app, timeout=30) == 0, "Velmora ends cleanly when closed mid-download")


if __name__ == "__main__":
    main(scenario)
