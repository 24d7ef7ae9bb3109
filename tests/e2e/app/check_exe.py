"""velmora.exe is one self-contained GUI program: of the build's machine (x86-64 or x86), GUI subsystem, importing
only DLLs that every Windows has (and none of those it binds on first use), with its icon (64 x 64, 32 bits), manifest
(common controls 6, per-monitor-v2 DPI, long paths) and version, naming the machine, as resources."""
import os
import re
import struct
import subprocess
import sys
import tempfile

BIN = os.environ["VELMORA_E2E_BIN"]
EXE = os.path.join(BIN, "velmora.exe")
ARCHITECTURE = os.environ["VELMORA_E2E_ARCH"]
FORMATS = {"x86-64": "pei-x86-64", "x86": "pei-i386"}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll", "oleaut32.dll",
               "shell32.dll", "msvcrt.dll", "advapi32.dll", "shlwapi.dll", "uxtheme.dll", "comdlg32.dll"}


def fail(message):
    print("check_exe:", message, file=sys.stderr)
    sys.exit(1)


headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", EXE], capture_output=True, text=True,
                         check=True).stdout
if f"file format {FORMATS[ARCHITECTURE]}\n" not in headers:
    fail(f"not an {ARCHITECTURE} PE image")
if not re.search(r"Subsystem\s+00000002", headers):
    fail("not a GUI program")
dlls = {m.lower() for m in re.findall(r"DLL Name: (\S+)", headers)}
if not dlls or not dlls <= SYSTEM_DLLS:
    fail(f"imports DLLs that do not come with Windows: {sorted(dlls - SYSTEM_DLLS)}")
# Loaded on first use, not at start-up: each costs a start time to load.
LATE_DLLS = {"ole32.dll", "oleaut32.dll", "shell32.dll", "wininet.dll"}
if dlls & LATE_DLLS:
    fail(f"imports DLLs it should bind on first use: {sorted(dlls & LATE_DLLS)}")

rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", EXE, "-O", "rc"], capture_output=True,
                    text=True, check=True).stdout
for needle in ("Microsoft.Windows.Common-Controls", "PerMonitorV2", "<longPathAware", "VERSIONINFO",
               "RT_GROUP_ICON", f'VALUE "Architecture", "{ARCHITECTURE}"',
               f'VALUE "FileDescription", "Velmora ({ARCHITECTURE})"'):
    if needle not in rc:
        fail(f"resource missing: {needle}")
# The icon image: a 40-byte BITMAPINFOHEADER of 64 x 128 (colour + mask), 32 bits.
with tempfile.TemporaryDirectory() as tmp:
    res = os.path.join(tmp, "velmora.res")
    subprocess.run(["x86_64-w64-mingw32-windres", "-i", EXE, "-O", "res", "-o", res], check=True)
    raw = open(res, "rb").read()
if struct.pack("<IiiHH", 40, 64, 128, 1, 32) not in raw:
    fail("no 64 x 64, 32-bit icon image")
# The default build carries no skin: neither the attach step nor the loader is in it.
image = open(EXE, "rb").read()
for needle in (b"SkinH_AttachRes", b"RtlAddFunctionTable"):
    if needle in image:
        fail(f"a build without a skin library holds {needle.decode()}")
print(f"velmora.exe: {os.path.getsize(EXE)} bytes, imports {sorted(dlls)}")
