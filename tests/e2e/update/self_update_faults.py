"""The self-update when things go wrong: a download cut short is told as a
failure, never as "新版本已经下载完成，感谢您的支持！", and stores nothing; a
release whose signature is missing, by another key, for another version or
another file name, or whose exe was changed after signing, is refused with
"新版本校验失败，已停止更新。" and nothing stored under an exe name; closing the
program while the new version downloads ends it cleanly and leaves no exe under
the final name (nor a part of one)."""
import os

import announcement
from tool_server import ToolServer
from updatesupport import exes, new_version, other_key, prepare, sign
from wine import SITE_PORT, check, main, velmora_log, wait_until

OBJECT = "/1507/down/new.exe"
NAME = "Velmora 1.1.3.exe"


def start_update(wine):
    app = wine.start_velmora(quiet_site=False)
    ui = wine.driver()
    ui.wait_window("main")
    ui.expect_message("检测到版本已更新,是否升级到最新版本？", button="yes")
    ui.wait_window("update")
    return app, ui


def leave(wine, app, ui):
    ui.close("main")
    check(wine.wait_exit(app, timeout=60) == 0, "Velmora ends cleanly")
    ui.quit()


def scenario(wine):
    program = prepare(wine)
    exe = new_version()
    with ToolServer(None, SITE_PORT) as site:
        site.serve(announcement.PATH, announcement.page(latest="1.1.3", file_name=NAME,
                                                        address=site.url(OBJECT), notes=["新版本"]))

        # Cut short: the full length announced, the connection closed halfway.
        site.serve(OBJECT, exe, "application/octet-stream", cut_after=len(exe) // 2)
        app, ui = start_update(wine)
        ui.expect_message("新版本下载失败，请稍后重试。", title="提示", ms=60000)
        check(ui.text("update", "透明标签5") == "更新失败", "the state line tells the failure")
        wine.screenshot("cut-short")
        log = velmora_log(program)
        check("update: failed, download" in log and "update: stored" not in log, f"the flow ended failed: {log}")
        ui.no_msgbox(0)
        check(exes(program) == [], f"nothing stored: {exes(program)}")
        leave(wine, app, ui)

        # Signatures that do not vouch for this exe as this release.
        small = new_version(256 * 1024)
        tampered = bytearray(small)
        tampered[len(small) // 2] ^= 1
        cases = [
            ("unsigned", small, None),
            ("tampered", bytes(tampered), sign(small, "1.1.3", NAME)),
            ("another key", small, sign(small, "1.1.3", NAME, key=other_key(wine.root))),
            ("another version", small, sign(small, "1.1.4", NAME)),
            ("another file name", small, sign(small, "1.1.3", "explorer.exe")),
        ]
        for what, body, signature in cases:
            site.serve(OBJECT, body, "application/octet-stream")
            site.bodies.pop(OBJECT + ".minisig", None)
            if signature is not None:
                site.serve(OBJECT + ".minisig", signature, "text/plain")
            site.requests.clear()
            app, ui = start_update(wine)
            ui.expect_message("新版本校验失败，已停止更新。", title="提示", ms=30000)
            asked = [p for p, _ in site.requests if p.startswith(OBJECT)]
            check(asked == [OBJECT, OBJECT + ".minisig"], f"{what}: requests {asked}")
            check(exes(program) == [], f"{what}: nothing stored: {exes(program)}")
            leave(wine, app, ui)

        # Closed mid-download.
        site.serve(OBJECT, exe, "application/octet-stream")
        site.rate = 200 * 1024
        app, ui = start_update(wine)
        wait_until(lambda: ui.text("update", "透明标签4") not in ("", "已完成：0%  "), 30, "the download to run")
        wine.screenshot("closing-mid-download")
        leave(wine, app, ui)
        check(exes(program) == [], f"no exe under the final name, no part of one: {exes(program)}")


if __name__ == "__main__":
    main(scenario)
