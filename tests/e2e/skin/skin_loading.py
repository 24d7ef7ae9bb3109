"""MemoryLibrary under Wine: the probe maps each test DLL of ours from memory and
calls it (preferred base and forced relocation, 512-byte sections, many exports,
imports by ordinal, forwarders, DllMain and TLS attach and detach, C++
exceptions inside and out, page rights, unloading and refusals; imports only from
the system folder). Damaged images are the unit tests' and the fuzzer's: the
loader parses before it takes memory."""
import os

from wine import check, main

HERE = os.path.join(os.environ["VELMORA_E2E_BIN"], "tests", "e2e", "skin")
CASES = ["preferred-base", "dllmain-tls-attach", "exports-by-name", "imports-by-ordinal",
         "forwarded-exports", "exception-inside", "exception-out", "page-rights",
         "unload", "forced-relocation", "small-alignment", "small-alignment-shared-page", "no-relocations",
         "many-exports", "attach-refused", "import-missing", "imports-from-system-folder"]


def scenario(wine):
    code, text = wine.run(os.path.join(HERE, "skin_probe.exe"), timeout=120, cwd=HERE)
    with open(os.path.join(wine.artifacts, "skin_probe.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    cases = {}
    for line in text.splitlines():
        parts = line.split(" ", 2)
        if len(parts) >= 3 and parts[0] == "case":
            cases[parts[1]] = parts[2]
    for name in CASES:
        check(cases.get(name) == "ok", f"{name}: {cases.get(name)}\n{text}")
    check(code == 0, f"probe exit code {code}\n{text}")


if __name__ == "__main__":
    main(scenario)
