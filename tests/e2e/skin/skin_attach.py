"""A velmora.exe that carries a skin: built with our stand-in skin library and a
test skin file as constant data, it maps the library from memory at start-up and
calls SkinH_AttachRes with the carried skin's bytes before its first window, and
the main window still comes up. Nothing but the exe is in the program folder."""
import os
import shutil

from wine import check, main, wait_until

SKIN_DIR = os.path.join(os.environ["VELMORA_E2E_BIN"], "tests", "e2e", "skin")


def scenario(wine):
    program = wine.program_dir()
    shutil.copy2(os.path.join(SKIN_DIR, "velmora_skin_test.exe"), os.path.join(program, "velmora.exe"))
    # Nothing beside the exe: the library can only come from the exe's own bytes.
    check(os.listdir(program) == ["velmora.exe"], f"program folder holds {os.listdir(program)}")
    record = os.path.join(wine.root, "record")
    os.makedirs(record)
    wine.env["VELMORA_SKIN_RECORD"] = wine.windows_path(record)
    game = "D:\\WorldOfWarships"
    wine.make_game(game)
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + game + "\r\n").encode("gb18030"))
    wine.start_velmora()
    ui = wine.driver()
    ui.wait_window("main")
    # The rest of start-up as ever: the stored game root, no message.
    ui.no_msgbox(3000)
    check(ui.text("main", "编辑框1") == game, "stored game root shown")
    wine.screenshot("main-with-skin-attached")

    attach = os.path.join(record, "attach.txt")
    wait_until(lambda: os.path.exists(attach), 10, "the attach record")
    with open(attach) as f:
        facts = dict(p.split("=") for p in f.read().split())
    with open(os.path.join(SKIN_DIR, "test_skin.she"), "rb") as f:
        carried = f.read()
    with open(os.path.join(record, "skin.bin"), "rb") as f:
        given = f.read()
    check(given == carried, f"SkinH_AttachRes got {len(given)} bytes, not the {len(carried)} carried")
    check(facts.get("size") == str(len(carried)), f"attach record {facts}")
    check(facts.get("loader-knows") == "0", f"the system loader knows the skin library: {facts}")
    check(facts.get("windows") == "0", f"windows existed before the attach: {facts}")
    check(ui.title("main").startswith("Velmora"), "main window title")
    with open(os.path.join(program, "velmora.log"), encoding="utf-8") as f:
        events = [line.split(" ", 2)[2].rstrip("\n") for line in f if line.count(" ") >= 2]
    attached = f"start: skin attached, {len(carried)} bytes, SkinH_AttachRes answered 1"
    check(attached in events and "start: main window shown" in events
          and events.index(attached) < events.index("start: main window shown"), f"velmora.log: {events}")


if __name__ == "__main__":
    main(scenario)
