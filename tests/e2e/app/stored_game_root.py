"""A stored game root is read without asking; "浏览" on the same folder confirms
again; page buttons show the page pressed last; "启动" starts the game in the
game root; a game root that cannot start the game is told to the user."""
import os

from wine import check, main, wait_until

GAME = "D:\\戰艦世界\\WoWS"
PAGES = ["news", "list:mz", "list:kjs", "list:tb", "list:pd", "list:qt"]
BUTTONS = ["按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮8"]


def shown_pages(ui):
    # List pages are made when first shown; one not made yet is not shown.
    def shown(page):
        reply = ui.call("visible-window", page, expect_ok=False)
        if reply[0] != "ok":
            check(reply[1].startswith("no window"), f"visible-window {page}: {reply}")
            return False
        return reply[1] == "1"
    return [p for p in PAGES if shown(p)]


def scenario(wine):
    program = wine.program_dir()
    game = wine.make_game(GAME)
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("; kept as it is\r\n[设置]\r\n游戏路径=" + GAME + "\r\n[其他]\r\nx=1\r\n").encode("gb18030"))
    before = open(os.path.join(program, "config.ini"), "rb").read()

    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    # The start-up shows the root once it has decided on it; a question would come first.
    wait_until(lambda: ui.text("main", "编辑框1") == GAME, 10, "the stored game root shown")
    ui.no_msgbox(0)
    check(shown_pages(ui) == ["news"], "the news page shows first")

    for order in ([4, 1, 5], [2, 2], [0, 3]):
        for i in order:
            ui.click("main", BUTTONS[i])
        want = [PAGES[order[-1]]]
        wait_until(lambda: shown_pages(ui) == want, 10, f"page {want} after {order}")
    wine.screenshot("page-list-tb")

    ui.click("main", "按钮6")
    ui.browse(GAME)
    ui.expect_message("游戏目录设置完成！")
    check(open(os.path.join(program, "config.ini"), "rb").read() == before,
          "storing the same folder again leaves config.ini byte for byte")

    ui.click("main", "按钮7")
    record = os.path.join(game, "WorldOfWarships.started.txt")
    wait_until(lambda: os.path.exists(record) and os.path.getsize(record) > 0, 20, "the game to start")
    cwd = open(record, encoding="utf-8").read().split("\n")[0]
    check(cwd.rstrip("\\").lower() == GAME.lower(), f"game started in {cwd!r}")

    os.remove(os.path.join(game, "WorldOfWarships.exe"))
    ui.click("main", "按钮7")
    ui.expect_message("请先设置游戏目录，再启动游戏")
    wine.screenshot("main-after-start")


if __name__ == "__main__":
    main(scenario)
