"""The version check at start-up, through the real exe against a web site on
the site port: a closed port and a page that stalls are told as
"连接服务器失败!请稍后重试。" while the main window is already up and usable,
and the program goes on; a page of the running version shows nothing; a newer
version asks, and "no" ends the check; an out-of-service version is told, and
the program ends when no update is taken. What did not show is looked for once
the check has logged its end."""
import contextlib
import os

import announcement
from tool_server import ToolServer
from updatesupport import prepare
from wine import SITE_PORT, check, main, velmora_log, wait_until

ENDED = "check: ended, the program goes on"
FAILED = "连接服务器失败!请稍后重试。"
STOPPED = "该版本已经停止使用,感谢您的支持！"
OFFER = "检测到版本已更新,是否升级到最新版本？"


def start(wine):
    with contextlib.suppress(FileNotFoundError):  # each start's log on its own
        os.remove(os.path.join(wine.root, "program", "velmora.log"))
    app = wine.start_velmora(quiet_site=False)
    ui = wine.driver()
    ui.wait_window("main")
    return app, ui


def usable(ui, button="按钮5", page="list:pd"):
    """The main window answers: a page button shows its page."""
    ui.click("main", button)
    ui.wait_window(page, 10000)


def ends_cleanly(wine, app, ui):
    ui.close("main")
    check(wine.wait_exit(app) == 0, "Velmora ends cleanly")
    ui.quit()


def pages(site):
    """Reads of the announcement page (the news page is on the same site)."""
    return [p for p, _ in site.requests].count(announcement.PATH)


def ended(program, ui):
    """The check has ended and the program goes on: no message, no update window."""
    wait_until(lambda: velmora_log(program).count(ENDED) == 1, 20, "the check to end")
    ui.no_msgbox(0)
    check(ui.call("visible-window", "update", expect_ok=False)[0] == "err", "no update window")


def scenario(wine):
    program = prepare(wine)

    # Nothing listens on the site port.
    app, ui = start(wine)
    check(ui.msgbox() == ("提示", FAILED), "a closed port is told")
    wine.screenshot("closed-port")
    ui.answer()
    usable(ui)  # the program goes on
    ends_cleanly(wine, app, ui)

    with ToolServer(None, SITE_PORT) as site:
        page = announcement.page()
        # Half the page, then a silent connection: the check waits beside the
        # interface, which serves the user meanwhile, and gives up in bounded time.
        site.serve(announcement.PATH, page, stall_after=len(page.encode()) // 2)
        app, ui = start(wine)
        usable(ui)
        usable(ui, "按钮3", "list:kjs")
        check("check: page" not in velmora_log(program), "the check still waits on the page meanwhile")
        wine.screenshot("usable-while-the-page-stalls")
        ui.expect_message(FAILED, ms=40000)
        usable(ui, "按钮2", "list:mz")
        ends_cleanly(wine, app, ui)

        # The running version: nothing to tell.
        site.serve(announcement.PATH, announcement.page(latest="1.1.2", restriction="1.0.0；1.1.0-1.1.1"))
        site.requests.clear()
        app, ui = start(wine)
        ended(program, ui)
        check(pages(site) == 1, f"the page was read once: {site.requests}")
        ends_cleanly(wine, app, ui)

        # A newer version; "no" ends the check and the program goes on.
        site.serve(announcement.PATH, announcement.page(latest="1.1.10", address=site.url("/d/v.exe"),
                                                        notes=["新版"]))
        site.requests.clear()
        app, ui = start(wine)
        ui.expect_message(OFFER, title="提示", button="no")
        ended(program, ui)
        check(pages(site) == 1 and not [p for p, _ in site.requests if p.startswith("/d/")],
              f"nothing fetched after no: {site.requests}")
        usable(ui)
        ends_cleanly(wine, app, ui)

        # Out of service, a newer one declined: the program ends (the other
        # outcomes of an out-of-service page are the unit tests').
        site.serve(announcement.PATH, announcement.page(latest="1.1.3", restriction="1.0.9；1.1.2",
                                                        address=site.url("/d/v.exe")))
        app, ui = start(wine)
        ui.expect_message(STOPPED, title="提示")
        ui.expect_message(OFFER, button="no")
        check(wine.wait_exit(app) == 0, "an out-of-service version ends when the update is declined")
        ui.quit()


if __name__ == "__main__":
    main(scenario)
