"""A velmora.exe that carries a skin, on the main road: built with our stand-in
skin library and a test skin file as constant data, it maps the library from
memory at start-up and calls SkinH_AttachRes before its first window with the
library's six arguments (the skin's bytes and size, no password, hue, saturation
and brightness 0); then the first start asks for the game folder through the
folder browser, and one plug-in is installed from the tool server. Nothing but the exe is in the program folder. The x86 build runs it
with its PE32 stand-in, the x86-64 build with its PE32+ one."""
import os
import shutil
import struct
import sys

from tool_server import ToolServer
from wine import TOOL_PORT, check, main, wait_until

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "catalogue"))
from plugins import BLUE_TRAILS, SHELLS_LIST, trails_archive  # noqa: E402

SKIN_DIR = os.path.join(os.environ["VELMORA_E2E_BIN"], "tests", "e2e", "skin")
GAME = "D:\\游戏\\World of Warships"
MACHINES = {0x8664: "x86-64", 0x014C: "x86"}


def fnv1a(data):
    h = 2166136261
    for b in data:
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return f"{h:08x}"


def machine(exe):
    with open(exe, "rb") as f:
        head = f.read(4096)
    nt = struct.unpack_from("<I", head, 0x3C)[0]
    return MACHINES.get(struct.unpack_from("<H", head, nt + 4)[0], "unknown")


def scenario(wine):
    program = wine.program_dir()
    exe = os.path.join(program, "velmora.exe")
    shutil.copy2(os.path.join(SKIN_DIR, "velmora_skin_test.exe"), exe)
    # Nothing beside the exe: the library can only come from the exe's own bytes.
    check(os.listdir(program) == ["velmora.exe"], f"program folder holds {os.listdir(program)}")
    architecture = machine(exe)
    record = os.path.join(wine.root, "record")
    os.makedirs(record)
    wine.env["VELMORA_SKIN_RECORD"] = wine.windows_path(record)
    game = wine.make_game(GAME)
    server_root = os.path.join(wine.root, "server")
    trails_archive(os.path.join(server_root, "wot/wows/cj/pd/lpx.zip"))
    with ToolServer(server_root, TOOL_PORT):
        app = wine.start_velmora()
        ui = wine.driver()
        ui.wait_window("main")

        attach = os.path.join(record, "attach.txt")
        wait_until(lambda: os.path.exists(attach), 10, "the attach record")
        with open(attach) as f:
            facts = dict(p.split("=") for p in f.read().split())
        with open(os.path.join(SKIN_DIR, "test_skin.she"), "rb") as f:
            carried = f.read()
        with open(os.path.join(record, "skin.bin"), "rb") as f:
            given = f.read()
        check(given == carried, f"SkinH_AttachRes got {len(given)} bytes, not the {len(carried)} carried")
        expected = {"size": str(len(carried)), "hash": fnv1a(carried), "password": "null", "hue": "0",
                    "saturation": "0", "brightness": "0", "loader-knows": "0", "windows": "0"}
        check(facts == expected, f"attach record {facts}, expected {expected}")

        # First start: the folder browser chooses the game root.
        ui.expect_message("没有找到游戏安装路径，请选择游戏根目录", title="提示")
        ui.call("wait-browser", 20000)
        wine.screenshot("folder-browser-with-skin")
        ui.browse(GAME)
        ui.expect_message("游戏目录设置完成！")
        check(ui.text("main", "编辑框1") == GAME, "chosen game root shown")
        wine.screenshot("main-with-skin-attached")

        # One install and one uninstall.
        page = ui.open_plugin(SHELLS_LIST, 1, f"plugin:{BLUE_TRAILS}")
        ui.click(page, "按钮1")
        ui.expect_message("插件安装完毕", title="提示")
        trails = os.path.join(game, "profile", "particles", "trails")
        check(os.path.isfile(os.path.join(trails, "effects", "blue_he.xml")), "archive unpacked into the game root")
        check(ui.text(page, "按钮1") == "已安装", "caption after the install")
        wine.screenshot("installed-with-skin")
        ui.close(page)
        ui.gone_window(page)
        ui.close("main")
        check(wine.wait_exit(app) == 0, "Velmora ends when its last window closes")

    with open(os.path.join(program, "velmora.log"), encoding="utf-8") as f:
        events = [line.split(" ", 2)[2].rstrip("\n") for line in f if line.count(" ") >= 2]
    check(any(e.startswith("start: Velmora ") and f"({architecture}) in " in e for e in events),
          f"the start line names {architecture}: {events}")
    attached = f"start: skin attached, {len(carried)} bytes, SkinH_AttachRes answered 1"
    check(attached in events and "start: main window shown" in events
          and events.index(attached) < events.index("start: main window shown"), f"velmora.log: {events}")


if __name__ == "__main__":
    main(scenario)
