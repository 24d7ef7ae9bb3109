"""The plug-in download over Wine's real WinINet against nginx on 127.0.0.1 (a real
server's range implementation): a fresh download, a cancelled one resumed from
its held bytes, and a resume of a file that is already complete (nginx answers
416, the download asks once more for the whole file)."""
import glob
import os

from netsupport import read, run_probe, write_archive
from nginx_server import nginx
from wine import check, main

OBJECT = "/wot/wows/cj/pd/lpx.zip"
FULL = ["正在连接Internet", "Internet连接已建立", "服务器支持网络续传", "开始下载", "下载完毕"]


def held_files(tmpdir):
    return glob.glob(os.path.join(tmpdir, "~~*.tmp"))


def scenario(wine):
    www = os.path.join(wine.root, "www")
    os.makedirs(www + "/wot/wows/cj/pd")
    archive = read(write_archive(www + OBJECT, 3 * 1024 * 1024 + 321))
    tmpdir = os.path.join(wine.root, "tmp")
    os.makedirs(tmpdir)
    out = wine.windows_path(os.path.join(wine.root, "got"))

    with nginx(www, wine.artifacts) as (port, access_log):
        r = run_probe(wine, port, [
            ["fresh", OBJECT],
            ["--cancel-after", 6, "fresh", OBJECT],
            ["resume", OBJECT],
            ["--cancel-at-end", "fresh", OBJECT],
            ["resume", OBJECT],
        ], out, tmp=wine.windows_path(tmpdir))
        fresh, cancelled, resumed, complete, again = r["steps"]
        got = lambda n: read(os.path.join(wine.root, f"got.{n}"))

        check(fresh["outcome"] == "Completed", f"fresh download: {fresh}")
        check(fresh["statuses"] == FULL, f"fresh statuses {fresh['statuses']}")
        check(got(1) == archive, "fresh download is byte-identical")
        check(fresh["percents"][-1] == 100, "the bar ends at 100")
        check(fresh["total"] == str(len(archive)), "total size slot")

        check(cancelled["outcome"] == "Cancelled", f"cancelled: {cancelled}")
        check(cancelled["statuses"][-1] == "已取消下载", "cancel text")
        held = int(cancelled["received"])
        check(0 < held < len(archive) and cancelled["temp"].startswith(wine.windows_path(tmpdir)),
              f"the cancelled download keeps its bytes: {cancelled}")

        check(resumed["outcome"] == "Completed" and int(resumed["offset"]) == held,
              f"resume from the held bytes: {resumed}")
        check(got(3) == archive, "resumed download is byte-identical")
        check(resumed["percents"][0] >= held * 100 // len(archive),
              "the resumed bar starts from the held share")

        check(complete["outcome"] == "Cancelled" and int(complete["received"]) == len(archive),
              f"cancelled after the last piece: {complete}")
        check(again["outcome"] == "Completed" and again["attempts"] == "2", f"416 resume: {again}")
        check(got(5) == archive, "resume of a complete file gives the file once")
        check(held_files(tmpdir) == [], "every temporary file is deleted once complete")
        check(again["statuses"].count("正在连接Internet") == 2, f"asked again: {again['statuses']}")

        with open(access_log) as f:
            lines = [l.rstrip("\n").split("|") for l in f if l.strip()]
        ranges = [(l[2], l[1]) for l in lines]
        check(ranges == [("bytes=0-", "206"), ("bytes=0-", "206"), (f"bytes={held}-", "206"),
                         ("bytes=0-", "206"), (f"bytes={len(archive)}-", "416"), ("bytes=0-", "206")],
              f"nginx saw {ranges}")
        check(all(l[4] == "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)" for l in lines),
              "user agent")

        # "tmp" from the environment (a trailing backslash is the unit tests').
        r = run_probe(wine, port, [["--cancel-after", 1, "fresh", OBJECT]], out)
        env_tmp, temp = r["tmp"], r["steps"][0]["temp"]
        check(env_tmp and temp.startswith(env_tmp.rstrip("\\") + "\\~~") and temp.endswith(".tmp"),
              f"temporary file {temp} in tmp={env_tmp}")
        check(os.path.exists(wine.linux_path(temp)), "the held file is where the path says")


if __name__ == "__main__":
    main(scenario)
