"""The zip unit and the install pipeline on Wine's file system: a game root beyond
MAX_PATH with characters outside GBK, archive times, a read-only file replaced, a
file held open as the running game holds it, and the whole pipeline. The probe
reports each case; the files are checked again from the Linux side."""
import datetime
import os

from wine import check, main

PROBE = os.path.join(os.environ["VELMORA_E2E_BIN"], "tests", "e2e", "install", "install_probe.exe")


def scenario(wine):
    work = os.path.join(wine.root, "work")
    os.makedirs(work)
    code, text = wine.run(PROBE, wine.windows_path(work), timeout=180)
    with open(os.path.join(wine.artifacts, "install_probe.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    cases = {}
    deep = None
    for line in text.splitlines():
        parts = line.split(" ", 3)
        if parts[0] == "case" and len(parts) >= 3:
            cases[parts[1]] = " ".join(parts[2:])
        elif parts[0] == "deep-file":
            deep = line.split(" ", 1)[1]
    for name in ["long-path", "timestamps", "read-only-replace", "held-open", "no-staging-left", "pipeline"]:
        check(cases.get(name) == "ok", f"{name}: {cases.get(name)}\n{text}")
    check(code == 0, f"probe exit code {code}")

    # From outside: the deep file is really there, beyond MAX_PATH, with the
    # archive's time (Wine's local time is the host's).
    check(deep is not None, "probe named its deep file")
    prefix = wine.windows_path(work) + "\\"
    check(deep.startswith(prefix), f"deep file {deep} below {prefix}")
    linux = os.path.join(work, deep[len(prefix):].replace("\\", "/"))
    check(len(deep) > 260 and os.path.getsize(linux) == 200000, f"deep file on disk: {linux}")
    stamp = datetime.datetime.fromtimestamp(os.stat(linux).st_mtime)
    check(stamp == datetime.datetime(2019, 5, 6, 7, 8, 10), f"deep file time {stamp}")
    check(not any("velmora-unpack~" in d for d, _, _ in os.walk(work)), "no staging folder left")


if __name__ == "__main__":
    main(scenario)
