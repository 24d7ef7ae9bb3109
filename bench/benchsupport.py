"""What the three benchmarks share: the folder a run works in (RAM-backed or on
disk) and the file system it is on, rounds that run every side once in rotating
order, and the figures (median and best per side, failures printed, never
dropped).

    with work_folder("ram", "bench_download") as work:   # /dev/shm/..., removed at the end
        rounds = Rounds(["velmora", "floor", "curl"], count=10)
        rounds.run({"velmora": run_velmora, ...})         # each returns {figure: ms}
        rounds.table([("velmora", "ms", "Velmora's download"), ...])
        rounds.median("velmora", "ms") / rounds.median("floor", "ms")
"""
import argparse
import contextlib
import os
import queue
import shutil
import statistics
import subprocess
import tempfile
import threading

from wine import BIN, PREFIX

MiB = 1024 * 1024


class SideFailed(Exception):
    """A side's round that gave no figure; printed and counted, never hidden."""


def file_system(path):
    """("tmpfs", "tmpfs"), ("ext4", "/dev/vda"): the type and source df gives for path."""
    out = subprocess.run(["df", "--output=fstype,source", path], capture_output=True, text=True,
                         check=True).stdout.splitlines()
    fstype, source = out[1].split()[:2]
    return fstype, source


@contextlib.contextmanager
def work_folder(on, name):
    """A fresh folder for every side of one run: on "ram" a folder of /dev/shm,
    on "disk" one in the build tree. Refuses a disk folder that is RAM-backed
    (or the reverse), so the two runs measure what they say. Removed at the end."""
    if on == "ram":
        path = tempfile.mkdtemp(prefix=f"velmora-{name}-", dir="/dev/shm")
    else:
        path = os.path.join(BIN, "bench-work", name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
    os.chmod(path, 0o755)  # nginx reads below it as nobody
    try:
        fstype, _ = file_system(path)
        if (fstype in ("tmpfs", "ramfs")) != (on == "ram"):
            raise SystemExit(f"{path} is on {fstype}: not a {on} folder")
        yield path
    finally:
        shutil.rmtree(path, ignore_errors=True)


def unmap_drive(letter, folder):
    """Removes the prefix's drive `letter:` when it leads into folder (the harness
    removes only the drives it maps into the build tree)."""
    link = os.path.join(PREFIX, "dosdevices", letter.lower() + ":")
    if os.path.islink(link) and os.readlink(link).startswith(folder):
        os.unlink(link)


def describe_folders(work, served=None, holds="every side's program, temporary, output and game folders"):
    """The lines that say where each run's files are."""
    fstype, source = file_system(work)
    lines = [f"folder: {work} on {fstype} ({source}): {holds}"]
    if served:
        st, ss = file_system(served)
        lines.append(f"served: {served} on {st} ({ss}), for every side, in both runs")
    pt, ps = file_system(PREFIX)
    lines.append(f"Wine prefix: {PREFIX} on {pt} ({ps}), the same for both runs")
    return lines


class Machine:
    """What else the machine did during a run, read from /proc: the load average,
    CPU time stolen by the host (a virtual machine's), and file pages read again
    after the system had dropped them from the cache (this machine runs a DAMON
    "pageout" scheme that drops pages it finds cold). High figures explain
    scattered rounds."""

    def __init__(self):
        self.start = self._read()
        one, five, _ = os.getloadavg()
        print(f"load average {one:.2f} (1 min), {five:.2f} (5 min) at the start; 2 cores here: "
              f"figures taken below 1 are the ones to keep", flush=True)

    @staticmethod
    def _read():
        with open("/proc/stat") as f:
            cpu = [int(x) for x in f.readline().split()[1:]]
        vm = {}
        with open("/proc/vmstat") as f:
            for line in f:
                k, v = line.split()
                vm[k] = int(v)
        return cpu, vm

    def report(self):
        cpu0, vm0 = self.start
        cpu1, vm1 = self._read()
        total = sum(cpu1) - sum(cpu0)
        steal = cpu1[7] - cpu0[7] if len(cpu1) > 7 else 0
        one, five, _ = os.getloadavg()
        refaults = vm1.get("workingset_refault_file", 0) - vm0.get("workingset_refault_file", 0)
        print(f"load average {one:.2f} (1 min), {five:.2f} (5 min) at the end; during the run: "
              f"CPU steal {100 * steal / max(total, 1):.1f} %, {refaults} file pages read again after "
              f"being dropped, {vm1.get('pgmajfault', 0) - vm0.get('pgmajfault', 0)} major faults", flush=True)


class Rounds:
    """count rounds (after `warmup` rounds that are printed but not counted), each
    running every side once; round r starts with side r mod n, so no side always
    follows the same one."""

    def __init__(self, sides, count, warmup=1):
        self.sides, self.count, self.warmup = list(sides), count, warmup
        self.samples = {s: {} for s in self.sides}  # side -> figure -> [ms]
        self.by_round = {s: {} for s in self.sides}  # side -> round -> {figure: ms}
        self.failures = []  # (round, side, message)

    def label(self, r):
        """"round  3", or "warm-up" for a round not counted (r from 0)."""
        return f"round {r - self.warmup + 1:2}" if r >= self.warmup else "warm-up "

    def record(self, r, side, figures=None, failure=None):
        """One side's result in round r (from 0): its figures, or why it has none."""
        if failure is not None:
            self.failures.append((self.label(r).strip(), side, failure))
        elif r >= self.warmup:
            self.by_round[side][r] = figures
            for k, v in figures.items():
                self.samples[side].setdefault(k, []).append(v)

    def run(self, actions, between=None):
        """actions: side -> function returning {figure: ms} or raising SideFailed.
        between(side), when given, runs after each side, outside its figures."""
        n = len(self.sides)
        for r in range(self.warmup + self.count):
            order = self.sides[r % n:] + self.sides[:r % n]
            parts = []
            for side in order:
                try:
                    figures = actions[side]()
                except SideFailed as e:
                    self.record(r, side, failure=str(e))
                    parts.append(f"{side} FAILED")
                    continue
                finally:
                    if between:
                        between(side)
                self.record(r, side, figures)
                parts.append(f"{side} {next(iter(figures.values())):.0f}")
            print(f"{self.label(r)}: " + ", ".join(parts) + " ms", flush=True)

    def values(self, side, figure):
        return self.samples[side].get(figure, [])

    def median(self, side, figure):
        v = self.values(side, figure)
        return statistics.median(v) if v else None

    def best(self, side, figure):
        v = self.values(side, figure)
        return min(v) if v else None

    def paired(self, a, b, figure, what):
        """The ratio a / b round by round (both sides ran within seconds of each
        other, so a burst of load falls on both): its median, the spread of the
        middle half of the rounds and the range; the median, or None."""
        both = sorted(set(self.by_round[a]) & set(self.by_round[b]))
        r = [self.by_round[a][i][figure] / self.by_round[b][i][figure] for i in both]
        if not r:
            return None
        q = statistics.quantiles(r, n=4) if len(r) > 1 else [r[0], r[0], r[0]]
        print(f"{what}, round by round: median {statistics.median(r):.2f}x, middle half "
              f"{q[0]:.2f}x-{q[2]:.2f}x, from {min(r):.2f}x to {max(r):.2f}x ({len(r)} rounds)")
        return statistics.median(r)

    def table(self, rows):
        """rows: (side, figure, label); one line each: median, best, rounds counted."""
        width = max(len(label) for _, _, label in rows)
        print(f"{'':{width}}   median       best   rounds")
        for side, figure, label in rows:
            v = self.values(side, figure)
            if not v:
                print(f"{label:{width}}   no figure")
                continue
            print(f"{label:{width}} {statistics.median(v):8.1f} ms {min(v):8.1f} ms   {len(v)}")
        for label, side, message in self.failures:
            print(f"FAILED {label} {side}: {message}")
        if not self.failures:
            print("failures: none")


class LineProgram:
    """A Windows program under the session's Wine that does one run per line it
    reads (install_bench, bare_loop --repeat): ask() sends a line and returns the
    fields of its "run ..." answer; finish() ends its input and returns the rest
    of its output. Every wait is bounded; on time-out the program (ours, by its
    handle) is ended."""

    def __init__(self, wine, exe, *args):
        self.name = os.path.basename(exe)
        self.proc = subprocess.Popen(["wine", exe, *args], env=wine.env, cwd=wine.root, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.decode("utf-8", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def _line(self, timeout):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            self.end()
            raise SideFailed(f"{self.name} gave no answer within {timeout} s")
        if line is None:
            raise SideFailed(f"{self.name} has ended (exit code {self.proc.poll()})")
        return line

    def ask(self, timeout=300):
        if self.proc.poll() is not None:
            raise SideFailed(f"{self.name} has ended (exit code {self.proc.returncode})")
        self.proc.stdin.write(b"go\n")
        self.proc.stdin.flush()
        line = self._line(timeout)
        f = line.split()
        if f[:1] != ["run"]:
            raise SideFailed(f"{self.name}: {line}")
        return dict(zip(f[2::2], f[3::2]))

    def finish(self, timeout=60):
        """The lines after the last run, and the exit code."""
        with contextlib.suppress(OSError):
            self.proc.stdin.close()
        rest = []
        with contextlib.suppress(SideFailed):
            while True:
                rest.append(self._line(timeout))
        with contextlib.suppress(subprocess.TimeoutExpired):
            self.proc.wait(timeout=timeout)
        self.end()
        return rest, self.proc.returncode

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.proc.wait(timeout=10)


def arguments(sides):
    """The command line every benchmark takes (--on ram|disk [--rounds N]) and
    the rounds of its sides."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--on", choices=("ram", "disk"), required=True)
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args()
    return args, Rounds(sides, args.rounds)


def ratio(a, b):
    """"1.08x", or "n/a" when a side has no figure."""
    return f"{a / b:.2f}x" if a is not None and b else "n/a"
