"""What the update scenarios share: a program folder with a valid game root (so
no dialog comes before the check), the new version's bytes, its minisign
signature, and a look at the program folder."""
import hashlib
import os
import subprocess
import tempfile

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


KEY = os.path.join(BIN, "update-signing", "minisign.key")  # the build's throw-away key


def sign(exe, version, file_name="", key=KEY):
    """The .minisig of `exe` as the maker makes it: minisign -S with the trusted
    comment naming the release."""
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "release.exe")
        with open(path, "wb") as f:
            f.write(exe)
        subprocess.run(["minisign", "-S", "-s", key, "-m", path, "-x", path + ".minisig",
                        "-t", f"velmora-release version={version} file={file_name}"],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        with open(path + ".minisig", "rb") as f:
            return f.read()


def other_key(folder):
    """A key pair the build does not carry; the path of its secret key."""
    subprocess.run(["minisign", "-G", "-f", "-W", "-p", os.path.join(folder, "other.pub"),
                    "-s", os.path.join(folder, "other.key")],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return os.path.join(folder, "other.key")
