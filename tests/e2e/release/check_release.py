"""Two releases of this tree, made by scripts/release.sh at different times in
clean folders at different paths and Authenticode-signed with one throw-away
self-signed certificate (made here by openssl; given once as PEM files, once as
PKCS#12), are the same zip byte for byte, and the zip is what a player needs:
the exe with an Authenticode signature osslsigncode verifies, signed with
minisign over those signed bytes with the trusted comment the self-update
checks, checksums that match, the Chinese guide in Notepad's form, and the
notices the statically linked libraries ask for. A third release without a
certificate says its exe is unsigned, and the signature of the signed one,
attached to its exe, gives the published exe byte for byte (how anyone without
the certificate compares a rebuild). A wrong version is refused."""
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


def release(folder, key, pub_line, version=VERSION, signing=None):
    """Runs the release script with its output and its build folder below folder;
    signing: the VELMORA_SIGN_* variables."""
    os.makedirs(os.path.join(folder, "tmp"))
    env = dict(os.environ, VELMORA_RELEASE_DIST=os.path.join(folder, "dist"), TMPDIR=os.path.join(folder, "tmp"),
               VELMORA_RELEASE_ALLOW_DIRTY="1", VELMORA_UPDATE_PUBLIC_KEY=pub_line)
    for name in ("VELMORA_SIGN_PKCS12", "VELMORA_SIGN_CERT", "VELMORA_SIGN_KEY", "VELMORA_SIGN_PASSWORD_FILE",
                 "VELMORA_SIGN_TIMESTAMP"):
        env.pop(name, None)
    env.update(signing or {})
    started = time.monotonic()
    run = subprocess.run(["bash", SCRIPT, version, key], env=env, capture_output=True, text=True)
    print(f"release.sh {version} in {folder}: exit {run.returncode}, {time.monotonic() - started:.0f} s")
    return run


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def throwaway_certificate(folder):
    """A self-signed code-signing certificate and its key, as PEM files and as a
    password-protected PKCS#12 file."""
    cert, key, p12, password = (os.path.join(folder, n) for n in ("cert.pem", "key.pem", "cert.p12", "password"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "3", "-subj", "/CN=Velmora throw-away test signer",
                    "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
    with open(password, "w") as f:
        f.write("throw-away\n")
    subprocess.run(["openssl", "pkcs12", "-export", "-in", cert, "-inkey", key, "-out", p12,
                    "-passout", "file:" + password], check=True, capture_output=True)
    return {"cert": cert, "key": key, "p12": p12, "password": password}


def osslsigncode(*args):
    return subprocess.run(["osslsigncode", *args], capture_output=True, text=True)


with tempfile.TemporaryDirectory() as tmp:
    key, pub = os.path.join(tmp, "key"), os.path.join(tmp, "pub")
    subprocess.run(["minisign", "-G", "-W", "-p", pub, "-s", key], check=True, capture_output=True)
    pub_line = open(pub).read().splitlines()[1]

    refused = release(os.path.join(tmp, "wrong"), key, pub_line, version="0.0.0")
    check(refused.returncode != 0 and f"not the project version {VERSION}" in refused.stderr,
          f"a version other than {VERSION} was not refused: {refused.stderr}")

    certificate = throwaway_certificate(tmp)
    pem = {"VELMORA_SIGN_CERT": certificate["cert"], "VELMORA_SIGN_KEY": certificate["key"]}
    pkcs12 = {"VELMORA_SIGN_PKCS12": certificate["p12"], "VELMORA_SIGN_PASSWORD_FILE": certificate["password"]}
    zips = []
    for folder, signing in ((os.path.join(tmp, "a"), pem), (os.path.join(tmp, "b", "elsewhere"), pkcs12),
                            (os.path.join(tmp, "c"), {})):
        run = release(folder, key, pub_line, signing=signing)
        if run.returncode != 0:
            print(run.stdout, run.stderr, file=sys.stderr)
            sys.exit("check_release: release.sh failed")
        path = os.path.join(folder, "dist", TOP + ".zip")
        data = open(path, "rb").read()
        exe_path = os.path.join(folder, "dist", TOP, "velmora.exe")
        exe = open(exe_path, "rb").read()
        print(f"  {TOP}.zip {len(data)} bytes, SHA-256 {sha256(data)}; velmora.exe SHA-256 {sha256(exe)}")
        check(f"最新版本：{VERSION}" in run.stdout and "文件名：velmora.exe" in run.stdout
              and "【下载地址结束】" in run.stdout, "no announcement lines printed")
        if signing:
            check("Authenticode-signed" in run.stderr and "not Authenticode-signed" not in run.stdout,
                  f"release.sh does not say it signed the exe: {run.stderr}")
        else:
            check("not Authenticode-signed" in run.stdout and "SmartScreen" in run.stdout,
                  f"release.sh does not say the exe is unsigned: {run.stdout}")
        zips.append((path, data, exe, exe_path))
    (signed_path, signed_zip, signed_exe, signed_exe_path) = zips[0]
    check(signed_exe == zips[1][2], "the two signed builds' velmora.exe differ (PEM and PKCS#12 of one certificate)")
    check(signed_zip == zips[1][1], "the two zips signed with one certificate differ")
    unsigned_exe, unsigned_exe_path = zips[2][2], zips[2][3]
    check(unsigned_exe != signed_exe and len(unsigned_exe) < len(signed_exe),
          "the release without a certificate carries the signed exe")

    # Authenticode: osslsigncode accepts the signature with the certificate as
    # the root it trusts, and finds none on the unsigned exe.
    verify = osslsigncode("verify", "-CAfile", certificate["cert"], "-in", signed_exe_path)
    check(verify.returncode == 0 and "Signature verification: ok" in verify.stdout
          and "Velmora throw-away test signer" in verify.stdout,
          f"osslsigncode verify does not accept the signed exe: {verify.stdout} {verify.stderr}")
    unsigned_verify = osslsigncode("verify", "-CAfile", certificate["cert"], "-in", unsigned_exe_path)
    check(unsigned_verify.returncode != 0, "osslsigncode verify accepts the exe of the release without a certificate")
    # A rebuild without the certificate, with the published signature attached,
    # is the published exe.
    signature = os.path.join(tmp, "published.p7")
    attached = os.path.join(tmp, "rebuilt-with-published-signature.exe")
    extract = osslsigncode("extract-signature", "-in", signed_exe_path, "-out", signature)
    attach = osslsigncode("attach-signature", "-sigin", signature, "-CAfile", certificate["cert"],
                          "-in", unsigned_exe_path, "-out", attached)
    check(extract.returncode == 0 and attach.returncode == 0 and os.path.exists(attached)
          and open(attached, "rb").read() == signed_exe,
          f"the unsigned rebuild with the published signature attached is not the published exe: "
          f"{extract.stdout} {extract.stderr} {attach.stdout} {attach.stderr}")

    archive = zipfile.ZipFile(signed_path)
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
    check(files.get("velmora.exe") == signed_exe, "the zip's velmora.exe is not the Authenticode-signed one")
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
    for needle in (VERSION, "profile\\", "velmora.log", "SHA256SUMS", "minisign -Vm", "scripts/release.sh",
                   "SmartScreen", "数字签名", "osslsigncode verify", "attach-signature"):
        check(needle in text, f"{GUIDE} does not mention {needle}")

if failures:
    sys.exit(f"check_release: {len(failures)} failed")
print("check_release: two signed releases identical, signatures verify, unsigned rebuild matches, package complete")
