"""What the update scenarios share: a program folder with a valid game root (so
no dialog comes before the check), the new version's bytes, and a look at the
program folder."""
import hashlib
import os
import shutil

from wine import BIN

GAME = "D:\\WoWS"


def prepare(wine):
    program = wine.program_dir()
    wine.make_game(GAME)
    with open(os.path.join(program, "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + GAME + "\r\n").encode("gb18030"))
    return program


def new_version(size=3 * 1024 * 1024):
    """A real program (the stand-in game, which records its start in
    "<name>.started.txt" beside itself) padded to a few MB: what runs is the
    program, the rest rides along as data after it."""
    with open(os.path.join(BIN, "tests", "e2e", "fakegame.exe"), "rb") as f:
        exe = f.read()
    pad = hashlib.sha256(b"velmora").digest()
    while len(exe) < size:
        pad = hashlib.sha256(pad).digest()
        exe += pad * 64
    return exe[:size] if len(exe) > size else exe


def exes(program):
    """The .exe files and leftovers of a write in the program folder but velmora.exe."""
    return sorted(n for n in os.listdir(program)
                  if n != "velmora.exe" and (n.lower().endswith(".exe") or n.endswith("~")))
