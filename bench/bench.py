"""Measures Tovik.exe under wine64 in Xvfb beside the floor, a window with one list and no more,
and prints the table of medians and ratios; bench/results.md keeps the last one.

Run by bench/run, which builds what it needs first.
"""

import datetime
import os
import pathlib
import platform
import shutil
import statistics
import subprocess
import sys
import time

top = pathlib.Path(__file__).resolve().parent.parent
build = top / "build"
os.environ.update(TOVIK_EXE=str(build / "win-x86_64" / "Tovik.exe"),
                  TOVIK_E2E_TOOLS=str(build / "win-x86_64" / "tests" / "e2e" / "tools"),
                  TOVIK_E2E_WORK=str(build / "bench"))
sys.path.insert(0, str(top / "tests" / "e2e"))

from tovik_e2e import WINE, Drive, Scene, Session, make_vault  # noqa: E402

RUNS = 7
# Start-up alone, for what each partition adds: a small difference of two noisy figures.
SCALING_RUNS = 15
IDLE_SECONDS = 10
# Before each timed start: what the last program left to do (Wine's services, the tray, the
# stand-ins) is over by then.
SETTLE_SECONDS = 1.5
FOLDER = "C:\\bench\\"


class Bench:
    def __init__(self):
        Session.setup()
        self.session = Session.load()
        self.folder = self.session.drive_c / "bench"
        self.folder.mkdir(exist_ok=True)
        for name, source in (("Tovik.exe", build / "win-x86_64" / "Tovik.exe"),
                             ("floor.exe", build / "win-x86_64" / "bench" / "floor.exe"),
                             ("floor_libraries.exe",
                              build / "win-x86_64" / "bench" / "floor_libraries.exe"),
                             ("probe.exe", build / "win-x86_64" / "bench" / "probe.exe")):
            shutil.copyfile(source, self.folder / name)

    def scene(self, partitions):
        """`partitions` fixed partitions from A:, each with a vault; C: is a network drive
        when there is only one."""
        if partitions == 1:
            drives = [Drive("a", "hd", recycled=True), Drive("c", "network")]
        else:
            drives = [Drive(chr(ord("a") + i), "hd", recycled=True) for i in range(partitions)]
        scene = Scene(self.session, *drives, name="bench-%d" % partitions).apply()
        for drive in drives:
            if drive.kind == "hd":
                if drive.letter == "c":
                    (scene.path("c") / "Recycled").mkdir(exist_ok=True)
                    shutil.rmtree(scene.path("c") / "Recycled" / "Tovik", ignore_errors=True)
                make_vault(scene.path(drive.letter))
        self.session.wine("cmd", "/c", "exit")  # the wineserver is up before anything is timed
        return scene

    def probe(self, *args):
        time.sleep(SETTLE_SECONDS)
        result = self.session.wine(FOLDER + "probe.exe", *args, timeout=120)
        if result.returncode != 0:
            raise RuntimeError("probe %s: %s" % (" ".join(args), result.stderr.decode()))
        return values(result.stdout.decode())

    def start(self, program, rows, idle=False):
        """Starts a program through the probe; with `idle`, also the CPU time it uses while
        waiting shown and, for Tovik, hidden in the tray."""
        time.sleep(SETTLE_SECONDS)
        probe = subprocess.Popen([WINE, FOLDER + "probe.exe", "start", FOLDER + program,
                                  str(rows)], env=self.session.env(), stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        found = {}
        for line in probe.stdout:
            if line.strip() == "ready":
                break
            found.update(values(line))
        if idle:
            pids = unix_pids(FOLDER + program)
            found["idle_cpu_ms"] = cpu_ms(pids, IDLE_SECONDS)
            if program == "Tovik.exe":
                probe.stdin.write("hide\n")
                probe.stdin.flush()
                probe.stdout.readline()
                time.sleep(0.5)
                found["hidden_cpu_ms"] = cpu_ms(pids, IDLE_SECONDS)
        probe.stdin.write("quit\n")
        probe.stdin.close()
        probe.wait(60)
        probe.stdout.close()
        return found


def values(text):
    found = {}
    for line in text.splitlines():
        key, _, value = line.partition("=")
        if value:
            found[key] = float(value)
    return found


def unix_pids(windows_path):
    """The Linux processes Wine runs the program in (it starts as one, named by its path)."""
    pids = []
    for entry in pathlib.Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and windows_path.encode() in (entry / "cmdline").read_bytes():
                pids.append(entry)
        except OSError:
            pass
    return pids


def cpu_ms(pids, seconds):
    """CPU time the processes' threads use over the next `seconds`, from the kernel's
    nanosecond counts."""
    def total():
        ns = 0
        for pid in pids:
            for task in (pid / "task").iterdir():
                try:
                    ns += int((task / "schedstat").read_text().split()[0])
                except OSError:
                    pass
        return ns
    before = total()
    time.sleep(seconds)
    return (total() - before) / 1e6


def median(runs, key):
    return statistics.median(run[key] for run in runs)


def main():
    bench = Bench()
    started = time.monotonic()
    try:
        small, large = {}, {}
        bench.scene(1)
        bench.start("floor.exe", 1)  # the first programs after a fresh server are slower
        bench.start("Tovik.exe", 1)
        floors = {"plain": [], "libraries": []}
        tovik_runs, cycles = [], []
        for _ in range(RUNS):  # interleaved, so that a slow spell of the machine hits all
            floors["plain"].append(bench.start("floor.exe", 1, idle=True))
            floors["libraries"].append(bench.start("floor_libraries.exe", 1))
            tovik_runs.append(bench.start("Tovik.exe", 1, idle=True))
            cycles.append(bench.probe("cycle", FOLDER + "Tovik.exe", "1"))
        small = {"start": tovik_runs, "cycle": cycles, **scaling(bench, 1)}

        bench.scene(23)
        bench.start("Tovik.exe", 23)
        large = {**scaling(bench, 23),
                 "cycle": [bench.probe("cycle", FOLDER + "Tovik.exe", "23")
                           for _ in range(RUNS)],
                 "drives": bench.probe("drive-types")}
    finally:
        Session.teardown(quiet=True)
    table = report(floors, small, large)
    seconds = time.monotonic() - started
    header = ("Tovik benchmark, %s, %s, %d cores; wine64 in Xvfb; medians of %d runs "
              "(%.0f s in all).\n\n" % (datetime.date.today().isoformat(), platform.machine(),
                                      os.cpu_count(), RUNS, seconds))
    (top / "bench" / "results.md").write_text(header + table)
    print(header + table)


def scaling(bench, partitions):
    """Start-ups of Tovik and, interleaved, of the floor in the same scene: with more drives
    Wine itself starts any program more slowly, and the floor shows by how much."""
    runs = {"scaling": [], "floor_scaling": []}
    for _ in range(SCALING_RUNS):
        runs["scaling"].append(bench.start("Tovik.exe", partitions))
        runs["floor_scaling"].append(bench.start("floor.exe", 1))
    return runs


def report(floors, small, large):
    """The table: each measure of Tovik beside the floor, and beside the floor that also loads
    the libraries Tovik cannot do without; the goals are set against the plain floor."""
    rows = []

    def row(name, tovik, floor=None, library_floor=None, unit="ms", goal="", met=None):
        cells = [name, fmt(tovik, unit)]
        for base in (floor, library_floor):
            cells += ([fmt(base, unit), "%.2f" % (tovik / base) if base else ""]
                      if base is not None else ["", ""])
        cells += [goal, "" if met is None else "yes" if met else "**no**"]
        rows.append("| " + " | ".join(cells) + " |")

    sizes = {}
    for arch in ("i686", "x86_64"):
        folder = build / ("win-" + arch)
        sizes[arch] = [(folder / name).stat().st_size / 1024 for name in
                       ("Tovik.exe", "bench/floor.exe", "bench/floor_libraries.exe")]
    row("Program size, i686", *sizes["i686"], unit="KiB", goal="≤ 200 KiB",
        met=sizes["i686"][0] <= 200)
    row("Program size, x86_64", *sizes["x86_64"], unit="KiB")

    def floor(key):
        return median(floors["plain"], key), median(floors["libraries"], key)

    start1 = median(small["start"], "startup_ms")
    plain, libraries = floor("startup_ms")
    row("Start-up to the filled list, 1 partition", start1, plain, libraries,
        goal="≤ 1.2 × floor", met=start1 <= 1.2 * plain)
    scaling1 = median(small["scaling"], "startup_ms")
    scaling23 = median(large["scaling"], "startup_ms")
    floor1 = median(small["floor_scaling"], "startup_ms")
    floor23 = median(large["floor_scaling"], "startup_ms")
    row("Start-up, 1 partition (%d more runs)" % SCALING_RUNS, scaling1, floor1)
    row("Start-up, 23 partitions (%d runs)" % SCALING_RUNS, scaling23, floor23)
    per_start = (scaling23 - scaling1) / 22
    row("Start-up, each added partition", per_start, goal="< 1 ms", met=per_start < 1)
    row("The floor's start-up, each added drive", (floor23 - floor1) / 22)
    looks = large["drives"]
    row("A fresh process's first look at a fixed drive, as at start-up", looks["first_look_ms"])
    row("The same look once more, as in a rebuild", looks["next_look_ms"])
    row("of which the system's drive-type query", looks["drive_type_ms"])

    rebuild1 = median(small["cycle"], "rebuild_ms")
    rebuild23 = median(large["cycle"], "rebuild_ms")
    row("Close to the rebuilt list, 1 partition", rebuild1)
    row("Close to the rebuilt list, 23 partitions", rebuild23)
    per_rebuild = (rebuild23 - rebuild1) / 22
    row("List rebuild, each added partition", per_rebuild, goal="< 1 ms", met=per_rebuild < 1)
    row("subst.exe /d's own run time within Close", median(small["cycle"], "unmap_subst_ms"))

    plain, libraries = floor("peak_kib")
    for name, value in (("after start-up", median(small["start"], "peak_kib")),
                        ("after Open", median(small["cycle"], "peak_open_kib")),
                        ("after Open and Close", median(small["cycle"], "peak_closed_kib"))):
        row("Peak working set " + name, value, plain, libraries, unit="KiB",
            goal="≤ 1.15 × floor", met=value <= 1.15 * plain)

    plain = median(floors["plain"], "idle_cpu_ms")
    for name, key in (("shown", "idle_cpu_ms"), ("hidden in the tray", "hidden_cpu_ms")):
        value = median(small["start"], key)
        row("CPU time in %d s of waiting, %s" % (IDLE_SECONDS, name), value, plain,
            goal="< 10 ms", met=value < 10)

    overhead = statistics.median(c["open_ms"] - c["subst_ms"] for c in small["cycle"])
    row("Open: notice answered to Explorer started", median(small["cycle"], "open_ms"))
    row("Open: subst.exe's own run time", median(small["cycle"], "subst_ms"))
    row("Open: all the rest", overhead, goal="≤ 30 ms", met=overhead <= 30)

    head = ["| Measure | Tovik | Floor | Ratio | Floor with Tovik's libraries, a picture and "
            "Chinese text | Ratio | Goal | Met |", "|---|---|---|---|---|---|---|---|"]
    return "\n".join(head + rows) + "\n"


def fmt(value, unit):
    if unit == "KiB":
        return "%.0f %s" % (value, unit)
    return "%.1f %s" % (value, unit)


if __name__ == "__main__":
    main()
