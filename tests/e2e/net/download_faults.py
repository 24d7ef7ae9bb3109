"""The plug-in download over Wine's real WinINet against a misbehaving server: one
that ignores the range, connections dropped cleanly or reset mid-body (then
resumed to a byte-identical file), 404 and 500 answers, a mid-body stall and a
silent server (both fail in bounded time), and a closed port. The request bytes
are checked from the server's side."""
import glob
import os

from netsupport import read, run_probe, write_archive
from tool_server import ToolServer
from wine import check, free_port, log, main

SIZE = 2 * 1024 * 1024 + 77


def scenario(wine):
    archive = read(write_archive(os.path.join(wine.root, "lpx.zip"), SIZE, seed=5))
    tmpdir = os.path.join(wine.root, "tmp")
    os.makedirs(tmpdir)
    tmp = wine.windows_path(tmpdir)
    out = wine.windows_path(os.path.join(wine.root, "got"))
    got = lambda n: read(os.path.join(wine.root, f"got.{n}"))
    have = lambda n: os.path.exists(os.path.join(wine.root, f"got.{n}"))

    with ToolServer(None, 0, hold=60) as server:
        zip_type = "application/zip"
        server.serve("/ignore/lpx.zip", archive, zip_type, whole=True)
        # Wine may drop the bytes in hand when a read fails: the resume starts
        # before the fault, and meets it no more.
        server.serve("/drop700000/lpx.zip", archive, zip_type, cut_after=700000, once=True)
        server.serve("/reset900000/lpx.zip", archive, zip_type, reset_after=900000, once=True)
        server.serve("/stall500000/lpx.zip", archive, zip_type, stall_after=500000, once=True)
        for code in (404, 500):
            server.serve(f"/status{code}/lpx.zip", "<html><body>error page</body></html>", status=code)
        server.silent.add("/silent/lpx.zip")
        r = run_probe(wine, server.port, [
            ["--cancel-after", 4, "fresh", "/ignore/lpx.zip"],   # 1
            ["resume", "/ignore/lpx.zip"],                       # 2
            ["fresh", "/drop700000/lpx.zip"],                    # 3
            ["resume", "/drop700000/lpx.zip"],                   # 4
            ["fresh", "/reset900000/lpx.zip"],                   # 5
            ["resume", "/reset900000/lpx.zip"],                  # 6
            ["fresh", "/status404/lpx.zip"],                     # 7
            ["fresh", "/status500/lpx.zip"],                     # 8
            ["fresh", "/stall500000/lpx.zip"],                   # 9
            ["resume", "/stall500000/lpx.zip"],                  # 10
            ["fresh", "/silent/lpx.zip"],                        # 11
        ], out, tmp=tmp, timeout=300)
        s = r["steps"]
        requests = list(zip(server.request_lines, server.requests))

    # A server that ignores the range: the whole file once, from byte 0.
    held = int(s[0]["received"])
    check(s[0]["outcome"] == "Cancelled" and held > 0, f"cancelled: {s[0]}")
    check(s[1]["status"] == "200" and s[1]["outcome"] == "Completed", f"ignored range: {s[1]}")
    check("服务器不支持网络续传" in s[1]["statuses"], "the page tells the range was not honoured")
    check(got(2) == archive, "ignored range gives the whole file exactly once")

    # A clean close mid-body is not a complete file; the resume continues it.
    check(s[2]["outcome"] == "Truncated" and s[2]["received"] == "700000", f"drop: {s[2]}")
    check("下载完毕" not in s[2]["statuses"] and s[2]["statuses"][-1] == "开始下载",
          "no 下载完毕 on a drop; the status keeps the last state text")
    check(not have(3), "a dropped download hands over nothing")
    check(s[3]["offset"] == "700000" and s[3]["outcome"] == "Completed", f"drop resumed: {s[3]}")
    check(got(4) == archive, "dropped then resumed download is byte-identical")

    # A reset: the read fails (WSAECONNRESET under Wine, which also drops the bytes
    # of the piece in hand), or, when the reset lands after the last byte was read,
    # Wine reports a clean end that the announced length shows as truncated. Either
    # way nothing is handed on; the resume continues from what was kept.
    check(s[4]["outcome"] in ("ReadFailed", "Truncated") and 0 < int(s[4]["received"]) <= 900000
          and s[4]["bytes"] == "0", f"reset: {s[4]}")
    check(s[5]["offset"] == s[4]["received"] and s[5]["outcome"] == "Completed", f"reset resumed: {s[5]}")
    check(got(6) == archive, "reset then resumed is byte-identical")

    # Error answers: nothing handed over, nothing written.
    for n, code in ((6, "404"), (7, "500")):
        check(s[n]["outcome"] == "ErrorStatus" and s[n]["status"] == code, f"{code}: {s[n]}")
        check("开始下载" not in s[n]["statuses"] and not have(n + 1), f"{code} is no archive")
        check(not os.path.exists(wine.linux_path(s[n]["temp"])), f"{code} writes no temporary file")

    # A stall mid-body and a silent server fail within the receive time-out.
    check(s[8]["outcome"] == "ReadFailed" and float(s[8]["ms"]) < 45000, f"stall: {s[8]}")
    check(s[9]["offset"] == s[8]["received"] and s[9]["outcome"] == "Completed", f"stall resumed: {s[9]}")
    check(got(10) == archive, "stalled then resumed is byte-identical")
    check(s[10]["outcome"] == "SendFailed" and float(s[10]["ms"]) < 45000, f"silent: {s[10]}")
    log("stall failed after", s[8]["ms"], "ms with", s[8]["error"],
        "; silent server after", s[10]["ms"], "ms with", s[10]["error"])
    check(glob.glob(os.path.join(tmpdir, "~~*.tmp")) == [], "no temporary file is left behind")

    # The request as it reached the server. Wine's WinINet writes each added line
    # back as "name: value", so the blanks after the colons are its own; names,
    # values and their order are ours.
    check(len(requests) == 11, f"{len(requests)} requests reached the server")
    ranges = []
    for request_line, (path, raw) in requests:
        raw = raw.decode("latin-1")
        lines = raw.split("\r\n")
        check(request_line == f"GET {path} HTTP/1.1", f"request line {request_line!r}")
        check("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)" in lines, "agent")
        names = [l.split(":", 1)[0] for l in lines if ":" in l]
        ours = [l for l in lines if l.split(":", 1)[0] in ("Accept", "range", "Content-Length")]
        check([l.split(":", 1)[0] for l in ours] == ["Accept", "range", "Content-Length"],
              f"our three lines in order: {ours}")
        check(ours[0].split(":", 1)[1].strip() == "*/*", ours[0])
        check(ours[2].split(":", 1)[1].strip() == "0", ours[2])
        check(names.count("range") == 1 and "Range" not in names, "one lower-case range line")
        ranges.append(ours[1].split(":", 1)[1].strip())
        check(raw.endswith("\r\n\r\n") and raw.count("\r\n\r\n") == 1, "no request body")
    expect_first = ["bytes=0-", f"bytes={s[0]['received']}-", "bytes=0-", "bytes=700000-", "bytes=0-"]
    check(ranges[:5] == expect_first, f"range lines {ranges[:5]}")

    # A closed port fails at once.
    r = run_probe(wine, free_port(), [["fresh", "/range/lpx.zip"]], out, tmp=tmp)
    closed = r["steps"][0]
    check(closed["outcome"] == "SendFailed" and float(closed["ms"]) < 10000, f"closed port: {closed}")
    check(closed["statuses"] == ["正在连接Internet"], f"closed port statuses {closed['statuses']}")


if __name__ == "__main__":
    main(scenario)
