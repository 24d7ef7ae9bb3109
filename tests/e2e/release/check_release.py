"""Two releases of this tree, made by scripts/release.sh at different times in
clean folders at different paths, are the same zip byte for byte, and the zip is
what a player needs: the exe signed with the trusted comment the self-update
checks, checksums that match, the Chinese guide in Notepad's form, and the
notices the statically linked libraries ask for. A wrong version is refused."""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile

SRC = os.environ["VELMORA_SOURCE_DIR"]
VERSION = os.environ["VELMORA_VERSION"]
SCRIPT = os.path.join(SRC, "scripts", "release.sh")
TOP = f"Velmora-{VERSION}"
GUIDE = "使用说明.txt"
FILES = {"velmora.exe", "velmora.exe.minisig", GUIDE, "THIRD-PARTY-NOTICES.txt", "SHA256SUMS"}
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
        print("check_release:", message, file=sys.stderr)


def release(folder, key, pub_line, version=VERSION):
    """Runs the release script with its output and its build folder below folder."""
    os.makedirs(os.path.join(folder, "tmp"))
    env = dict(os.environ, VELMORA_RELEASE_DIST=os.path.join(folder, "dist"), TMPDIR=os.path.join(folder, "tmp"),
               VELMORA_RELEASE_ALLOW_DIRTY="1", VELMORA_UPDATE_PUBLIC_KEY=pub_line)
    started = time.monotonic()
    run = subprocess.run(["bash", SCRIPT, version, key], env=env, capture_output=True, text=True)
    print(f"release.sh {version} in {folder}: exit {run.returncode}, {time.monotonic() - started:.0f} s")
    return run


def sha256(data):
    return hashlib.sha256(data).hexdigest()


with tempfile.TemporaryDirectory() as tmp:
    key, pub = os.path.join(tmp, "key"), os.path.join(tmp, "pub")
    subprocess.run(["minisign", "-G", "-W", "-p", pub, "-s", key], check=True, capture_output=True)
    pub_line = open(pub).read().splitlines()[1]

    refused = release(os.path.join(tmp, "wrong"), key, pub_line, version="0.0.0")
    check(refused.returncode != 0 and f"not the project version {VERSION}" in refused.stderr,
          f"a version other than {VERSION} was not refused: {refused.stderr}")

    zips = []
    for folder in (os.path.join(tmp, "a"), os.path.join(tmp, "b", "elsewhere")):
        run = release(folder, key, pub_line)
        if run.returncode != 0:
            print(run.stdout, run.stderr, file=sys.stderr)
            sys.exit("check_release: release.sh failed")
        path = os.path.join(folder, "dist", TOP + ".zip")
        data = open(path, "rb").read()
        exe = open(os.path.join(folder, "dist", TOP, "velmora.exe"), "rb").read()
        print(f"  {TOP}.zip {len(data)} bytes, SHA-256 {sha256(data)}; velmora.exe SHA-256 {sha256(exe)}")
        check(f"最新版本：{VERSION}" in run.stdout and "文件名：velmora.exe" in run.stdout
              and "【下载地址结束】" in run.stdout, "no announcement lines printed")
        zips.append((path, data, exe))
    check(zips[0][2] == zips[1][2], "the two builds' velmora.exe differ")
    check(zips[0][1] == zips[1][1], "the two zips differ")

    archive = zipfile.ZipFile(zips[0][0])
    content = {info.filename: archive.read(info) for info in archive.infolist()}
    check(set(content) == {f"{TOP}/{name}" for name in FILES}, f"the zip holds {sorted(content)}")
    files = {name.split("/", 1)[1]: data for name, data in content.items()}

    sums = {}
    for line in files.get("SHA256SUMS", b"").decode().splitlines():
        digest, name = line.split("  ", 1)
        sums[name] = digest
    check(sums == {name: sha256(data) for name, data in files.items() if name != "SHA256SUMS"},
          f"SHA256SUMS does not match the files: {sums}")

    unpacked = os.path.join(tmp, "unpacked")
    os.makedirs(unpacked)
    for name in ("velmora.exe", "velmora.exe.minisig"):
        with open(os.path.join(unpacked, name), "wb") as f:
            f.write(files.get(name, b""))
    verify = subprocess.run(["minisign", "-Vm", os.path.join(unpacked, "velmora.exe"), "-p", pub],
                            capture_output=True, text=True)
    check(verify.returncode == 0 and
          f"Trusted comment: velmora-release version={VERSION} file=velmora.exe" in verify.stdout,
          f"the signature does not verify with the trusted comment: {verify.stdout} {verify.stderr}")

    notices = files.get("THIRD-PARTY-NOTICES.txt", b"").decode("utf-8-sig")
    for library in ("zlib", "minizip", "libpng", "libjpeg-turbo", "libsodium", "mingw-w64 runtime"):
        check(re.search(re.escape(library) + r"[^\r\n]* \d+\.\d+", notices),
              f"the notices name no {library} with its version")
    for statement in ("This software is based in part on the work of the Independent JPEG Group",
                      "winpthreads", "GCC RUNTIME LIBRARY EXCEPTION", "ISC License"):
        check(statement in notices, f"the notices lack: {statement}")

    guide = files.get(GUIDE, b"")
    check(guide.startswith(b"\xef\xbb\xbf"), f"{GUIDE} does not start with a UTF-8 byte-order mark")
    check(guide.count(b"\n") > 20 and guide.count(b"\n") == guide.count(b"\r\n"), f"{GUIDE} is not CRLF throughout")
    text = guide.decode("utf-8-sig")
    for needle in (VERSION, "profile\\", "velmora.log", "SHA256SUMS", "minisign -Vm", "scripts/release.sh"):
        check(needle in text, f"{GUIDE} does not mention {needle}")

if failures:
    sys.exit(f"check_release: {len(failures)} failed")
print("check_release: two releases identical, package complete")
