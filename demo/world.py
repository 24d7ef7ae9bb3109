"""The demo world: everything Velmora needs to show its main job on a machine
without internet, on 127.0.0.1 only.

- a tool server with a small generated archive for each of the 21 catalogue
  entries, each bringing that entry's probe path and removal-set files under
  profile/;
- the maker's web site with the news page and the announcement page, and a forum
  stand-in with one page per thread;
- a sample game folder with a stand-in WorldOfWarships.exe (a small window
  saying the game started), and a program folder whose config.ini names it;
- with --with-update, a newer sample release on the web site (the stand-in
  program as "Velmora <next version>.exe"), signed with the demo build's
  throw-away key (<build>/update-signing/minisign.key) as a maker signs a
  release, and the announcement page offering it.

    python3 demo/world.py --build build/windows-demo --out build/demo [--with-update]

builds the world, starts the servers on the ports the build points at, runs
velmora.exe under Wine (WINEPREFIX and DISPLAY from the environment) and stops
the servers when Velmora exits. The E2E scenario of the demo imports
make_world() and servers().
"""
import argparse
import contextlib
import json
import os
import re
import shutil
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e", "harness"))
from tool_server import ToolServer  # noqa: E402

NEWS_PATH = "/1507/m_301940739763.html"
ANNOUNCEMENT_PATH = "/1507/302203109570.html"


def build_config(build):
    """Hosts, ports and version the build was made with (its generated BuildConfig.h)."""
    with open(os.path.join(build, "generated", "BuildConfig.h"), encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(build, "generated", "VersionInfo.h"), encoding="utf-8") as f:
        version = re.search(r'VELMORA_VERSION_TEXT "([^"]+)"', f.read()).group(1)
    value = lambda name: re.search(name + r' = "?([^";]+)"?;', text).group(1)  # noqa: E731
    config = {"version": version}
    for server in ("Tool", "Forum", "Site"):
        host = value(f"k{server}Host")
        if host != "127.0.0.1":
            raise SystemExit(f"the build at {build} points the {server.lower()} host at {host}, "
                             "not at the demo's 127.0.0.1")
        config[server.lower()] = int(value(f"k{server}Port"))
    return config


def catalogue(build, env=None):
    """The entries as the program carries them, from demo_catalogue.exe."""
    exe = os.path.join(build, "demo", "demo_catalogue.exe")
    out = subprocess.run(["wine", exe], env=env, capture_output=True, check=True, timeout=120).stdout
    return [json.loads(line) for line in out.decode("utf-8").splitlines() if line.startswith("{")]


def archive_files(entry):
    """The files an entry's sample archive brings: each path of its removal set
    (and its probe path) below profile/, a folder getting one file of its own."""
    files = {}
    for tail in [entry["probe"], *entry["removal"]]:
        name = tail.lstrip("\\").replace("\\", "/")
        if os.path.splitext(name)[1]:
            files[name] = f"<!-- {entry['name']}: demo file {name} -->\n".encode("utf-8")
        else:
            files[f"{name}/demo_{entry['stem']}.txt"] = f"{entry['name']}\n".encode("utf-8")
    return files


def make_archive(path, files):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0)), data,
                       compress_type=zipfile.ZIP_DEFLATED)


def windows_path(linux_path):
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


def make_world(out, build, entries, game_exe=None):
    """Writes the world below `out` (program/, game/, server/) and returns its paths."""
    out = os.path.abspath(out)
    shutil.rmtree(out, ignore_errors=True)
    world = {name: os.path.join(out, name) for name in ("program", "game", "server")}
    for d in world.values():
        os.makedirs(d)
    shutil.copy2(os.path.join(build, "velmora.exe"), world["program"])
    shutil.copy2(game_exe or os.path.join(build, "tests", "e2e", "fakegame.exe"),
                 os.path.join(world["game"], "WorldOfWarships.exe"))
    world["game_windows"] = windows_path(world["game"])
    with open(os.path.join(world["program"], "config.ini"), "wb") as f:
        f.write(("[设置]\r\n游戏路径=" + world["game_windows"] + "\r\n").encode("gb18030"))
    for entry in entries:
        make_archive(os.path.join(world["server"], entry["server"].lstrip("/")), archive_files(entry))
    world["entries"] = entries
    return world


def page(title, body):
    return ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head>"
            "<body style=\"font-family:sans-serif;margin:24px\"><h2>" + title + "</h2>" + body +
            "</body></html>")


def announcement(version, release=None):
    """The announcement page: the running version is the newest, so the check shows
    nothing; or, with a release, the release's version, file name and address."""
    if release is None:
        return page("Velmora 版本公告",
                    f"<p>限制：无；</p><p>最新版本：{version}；</p><p>官方版本：{version}；</p>"
                    "<p>更新说明：【演示用的公告页。<p>【结束】</p>")
    return page("Velmora 版本公告",
                f"<p>限制：无；</p><p>最新版本：{release['version']}；</p>"
                f"<p>官方版本：{release['version']}；</p><p>文件名：{release['name']}</p>"
                f"<p>下载地址：{release['address']}【下载地址结束】</p>"
                "<p>更新说明：【</p><p>1. 演示用的新版本（一个替身程序）。</p>"
                "<p>2. 下载后先核对维护者的签名，再询问是否启动。</p><p>【结束】</p>")


def sample_release(build, config):
    """A newer release, as the maker publishes one: the exe and its minisign
    signature with the trusted comment naming version and file name, signed with
    the demo build's throw-away key."""
    numbers = config["version"].split(".")
    version = ".".join(numbers[:-1] + [str(int(numbers[-1]) + 1)])
    name = f"Velmora {version}.exe"
    key = os.path.join(build, "update-signing", "minisign.key")
    if not os.path.exists(key):
        raise SystemExit(f"no signing key at {key}: configure the windows-demo preset first")
    exe = os.path.join(build, "tests", "e2e", "fakegame.exe")
    out = os.path.join(build, "demo-release")
    os.makedirs(out, exist_ok=True)
    signature = os.path.join(out, "release.exe.minisig")
    subprocess.run(["minisign", "-S", "-s", key, "-m", exe, "-x", signature,
                    "-t", f"velmora-release version={version} file={name}"],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    path = f"/1507/down/velmora-{version}.exe"
    with open(exe, "rb") as f, open(signature, "rb") as s:
        return {"version": version, "name": name, "path": path, "exe": f.read(), "signature": s.read(),
                "address": f"http://127.0.0.1:{config['site']}{path}"}


NEWS = page("Velmora 资讯", "<p>这是演示用的资讯页：本机的网站服务器在 127.0.0.1 上运行。</p>"
            "<p>在左侧选择“炮弹”，再按“详细”，即可安装演示插件。</p>")


@contextlib.contextmanager
def servers(world, config, rate=None, release=None):
    """The tool server, the web site and the forum stand-in, on the build's ports;
    the site offers `release` (sample_release()) when given."""
    with ToolServer(world["server"], config["tool"], rate=rate) as tools, \
            ToolServer(None, config["site"]) as site, ToolServer(None, config["forum"]) as forum:
        site.serve(NEWS_PATH, NEWS)
        site.serve(ANNOUNCEMENT_PATH, announcement(config["version"], release))
        if release is not None:
            site.serve(release["path"], release["exe"], "application/octet-stream")
            site.serve(release["path"] + ".minisig", release["signature"], "text/plain")
        for entry in world["entries"]:
            forum.serve(f"/thread-{entry['thread']}-1-1.html",
                        page(entry["name"], "<p>演示用的论坛帖子。</p>"))
        yield {"tool": tools, "site": site, "forum": forum}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="a windows build whose hosts are 127.0.0.1")
    parser.add_argument("--out", required=True, help="where the world is written (replaced)")
    parser.add_argument("--with-update", action="store_true",
                        help="the site offers a newer, signed sample release")
    args = parser.parse_args()
    config = build_config(args.build)
    world = make_world(args.out, args.build, catalogue(args.build))
    release = sample_release(args.build, config) if args.with_update else None
    print(f"demo: game folder {world['game_windows']}, tool server 127.0.0.1:{config['tool']}, "
          f"web site :{config['site']}, forum :{config['forum']}", flush=True)
    env = dict(os.environ, VELMORA_FAKEGAME_WINDOW="1")
    if release:
        print(f"demo: the site offers {release['name']}, signed with the build's throw-away key",
              flush=True)
    with servers(world, config, release=release):
        code = subprocess.call(["wine", os.path.join(world["program"], "velmora.exe")], env=env,
                               cwd=world["program"])
    print("demo: Velmora ended; the servers are stopped", flush=True)
    return code


if __name__ == "__main__":
    sys.exit(main())
