"""Measures Tovik.exe under wine64 in Xvfb beside the floor, a window with one list and no more,
and prints the table of medians and ratios; bench/results.md keeps the last one.

Run by bench/run, which builds what it needs first. `bench/run timeline` runs only the
timeline build's start-ups, for a quick look at the steps, and writes build/bench/timeline.md.
"""

import datetime
import json
import os
import pathlib
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

top = pathlib.Path(__file__).resolve().parent.parent
build = top / "build"
os.environ.update(TOVIK_EXE=str(build / "win-x86_64" / "Tovik.exe"),
                  TOVIK_E2E_TOOLS=str(build / "win-x86_64" / "tests" / "e2e" / "tools"),
                  TOVIK_E2E_WORK=str(build / "bench"))
sys.path.insert(0, str(top / "tests" / "e2e"))

from tovik_e2e import WINE, Drive, Scene, Session, make_vault  # noqa: E402

# Start-ups of the floor and Tovik, one after the other in one series, so that a slow spell of
# the machine hits both alike; the medians and quartiles of each.
RUNS = 21
# Open and Close, the idle CPU time, the drive looks and what each library costs: fewer.
CYCLES = 5
IDLE_RUNS = 2
LOOKS = 5
COSTS = 7
COST_KINDS = ("comctl32", "shell32", "font", "ole")
# Start-ups of the timeline build, which notes when each step of its start-up ended.
TIMELINE_RUNS = 7
# The steps the timeline build marks, in the program's words; a step costs the time from the
# step before it, whatever order a build does them in.
STEPS = {
    "entry": "the program's own code reached (the loader, the libraries it imports)",
    "common_controls": "the common controls",
    "single_instance": "the single-instance check",
    "main_window": "the main window, the process's first (the display's driver comes with it)",
    "window": "the window and its controls, the pictures and icons",
    "tray_icon": "the tray icon",
    "old_letters": "the sweep of old letters",
    "partition_table": "the partition table",
    "rows": "the rows",
    "command_bar": "the command bar",
    "first_showing": "the first showing",
    "first_paint": "the window's first paint",
    "after_showing": "the work posted to the message loop",
}
# The kinds of call the timeline build adds up, wherever in start-up they come.
CALLS = {
    "pictures": "decoding a picture",
    "icons": "loading an icon",
    "fonts": "making a font",
    "command_panel": "the command panel",
    "buttons": "the six buttons, made after the panel's first paint",
    "tray_add": "adding the tray icon",
    "drive_target": "asking what a letter stands for",
    "drive_types": "the drive list with each drive's type",
    "row": "a row (vault probe, free space, text)",
    "vault_probe": "a vault probe (and the listing of c:\\ after it)",
    "free_space": "a partition's free space",
    "list_add": "adding a row to the list",
    "list_extent": "measuring the rows for the sideways extent",
    "selection": "selecting the first row (its vault probe, the command bar)",
}
IDLE_SECONDS = 10
# Before each timed start: what the last program left to do (Wine's services, the tray, the
# stand-ins) is over by then.
SETTLE_SECONDS = 1.5
FOLDER = "C:\\bench\\"
# The probe itself gives up after 30 s without a filled list.
STARTUP_LIMIT = 45


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
                             ("Tovik_timeline.exe",
                              build / "win-x86_64" / "bench" / "Tovik_timeline.exe"),
                             ("floor_timeline.exe",
                              build / "win-x86_64" / "bench" / "floor_timeline.exe"),
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

    def probe(self, *args, settle=SETTLE_SECONDS):
        time.sleep(settle)
        result = self.session.wine(FOLDER + "probe.exe", *args, timeout=120)
        if result.returncode != 0:
            raise RuntimeError("probe %s: exit %d: %s" % (" ".join(args), result.returncode,
                                                          result.stderr.decode()))
        return values(result.stdout.decode())

    def start(self, program, rows, idle=False):
        """Starts a program through the probe; with `idle`, also the CPU time it uses while
        waiting shown and, for Tovik, hidden in the tray. A start the probe gives up on is
        made once more."""
        for attempt in (1, 2):
            time.sleep(SETTLE_SECONDS)
            complaints = build / "bench" / "probe-stderr.txt"
            with complaints.open("w") as stderr:
                probe = subprocess.Popen([WINE, FOLDER + "probe.exe", "start", FOLDER + program,
                                          str(rows)], env=self.session.env(),
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=stderr, text=True)
            found, ready = read_until_ready(probe, STARTUP_LIMIT)
            if ready:
                break
            # What was on the screen when the probe gave up, then the program, which may hold
            # the probe's output open, is ended with the probe.
            picture = build / "bench" / ("gave-up-%s-%d.png" % (program, time.time()))
            self.session.screenshot(picture)
            for process in unix_pids(FOLDER + program):
                try:
                    os.kill(int(process.name), signal.SIGKILL)
                except OSError:
                    pass
            probe.kill()
            probe.wait(30)
            complaint = complaints.read_text().strip().splitlines()[-1:] or ["nothing said"]
            print("probe start %s (%d rows), try %d, %s: %s; the screen: %s" % (
                program, rows, attempt, datetime.datetime.now().strftime("%H:%M:%S"),
                complaint[0], picture), file=sys.stderr)
            probe.stdout.close()
            probe.stdin.close()
        else:
            raise RuntimeError("the probe could not start %s twice" % program)
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


def read_until_ready(probe, seconds):
    """The figures the probe prints before "ready", and whether it said it in time; the lines
    are read aside, so that a probe that says nothing more cannot stop the benchmark."""
    found, said = {}, threading.Event()

    def read():
        for line in probe.stdout:
            if line.strip() == "ready":
                said.set()
                return
            found.update(values(line))

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    reader.join(seconds)
    return found, said.is_set()


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


def quartiles(values):
    """The lower quartile, the median and the upper quartile."""
    values = sorted(values)
    if len(values) < 2:
        return values * 3 if values else [0.0] * 3
    return statistics.quantiles(values, n=4, method="inclusive")


def main():
    if sys.argv[1:] == ["timeline"]:
        return timeline_only()
    bench = Bench()
    started = time.monotonic()
    cpu = cpu_ticks()
    try:
        runs = {}
        bench.scene(1)
        bench.start("floor.exe", 1)  # the first programs after a fresh server are slower
        bench.start("Tovik.exe", 1)
        # One series: floor, floor with the libraries, Tovik, and again.
        for key in ("floor", "libraries", "tovik"):
            runs[key] = []
        for _ in range(RUNS):
            runs["floor"].append(bench.start("floor.exe", 1))
            runs["libraries"].append(bench.start("floor_libraries.exe", 1))
            runs["tovik"].append(bench.start("Tovik.exe", 1))
        runs["idle_floor"] = [bench.start("floor.exe", 1, idle=True) for _ in range(IDLE_RUNS)]
        runs["idle_tovik"] = [bench.start("Tovik.exe", 1, idle=True) for _ in range(IDLE_RUNS)]
        runs["cycle1"] = [bench.probe("cycle", FOLDER + "Tovik.exe", "1") for _ in range(CYCLES)]
        runs["looks1"] = [bench.probe("drive-types", settle=0.5) for _ in range(LOOKS)]
        time_the_steps(bench, runs)
        for kind in COST_KINDS:
            runs["cost_" + kind] = []
        for _ in range(COSTS):  # each in a fresh process, the kinds in turn
            for kind in COST_KINDS:
                runs["cost_" + kind].append(bench.probe("cost", kind, settle=0.3))

        bench.scene(23)
        bench.start("Tovik.exe", 23)
        runs["floor23"], runs["libraries23"], runs["tovik23"] = [], [], []
        for _ in range(RUNS):
            runs["floor23"].append(bench.start("floor.exe", 1))
            runs["libraries23"].append(bench.start("floor_libraries.exe", 23))
            runs["tovik23"].append(bench.start("Tovik.exe", 23))
        runs["cycle23"] = [bench.probe("cycle", FOLDER + "Tovik.exe", "23") for _ in range(CYCLES)]
        runs["looks23"] = [bench.probe("drive-types", settle=0.5) for _ in range(LOOKS)]
        runs["timeline23"] = [bench.start("Tovik_timeline.exe", 23)
                              for _ in range(TIMELINE_RUNS)]
    finally:
        Session.teardown(quiet=True)
    # The raw figures, for a second look or a table made again after a change to it.
    (build / "bench" / "runs.json").write_text(json.dumps(runs, indent=1))
    table = report(runs)
    seconds = time.monotonic() - started
    header = ("Tovik benchmark, %s, %s, %d cores; wine64 in Xvfb; medians with the quartiles in "
              "brackets; start-ups of %d runs each, the floor and Tovik in turn in one series "
              "(%.0f s in all; %s).\n\n" % (datetime.date.today().isoformat(), platform.machine(),
                                          os.cpu_count(), RUNS, seconds, stolen_since(cpu)))
    (top / "bench" / "results.md").write_text(header + table)
    print(header + table)


def cpu_ticks():
    """The machine's CPU time so far, by kind, as /proc/stat counts it."""
    return [int(v) for v in pathlib.Path("/proc/stat").read_text().split("\n")[0].split()[1:9]]


def stolen_since(before):
    """How much of the CPU time the series asked for the host gave to others (steal): a series
    whose figures moved with a busy host says so in its heading."""
    spent = [after - then for after, then in zip(cpu_ticks(), before)]
    busy = sum(spent) - spent[3] - spent[4]  # less idle and I/O wait
    return "the host kept back %.1f %% of the CPU time it asked for" % (
        100 * spent[7] / busy if busy else 0.0)


def time_the_steps(bench, runs):
    """The timeline builds at one partition, the floor's and Tovik's in turn."""
    runs["timeline1"], runs["floor_timeline1"] = [], []
    for _ in range(TIMELINE_RUNS):
        runs["floor_timeline1"].append(bench.start("floor_timeline.exe", 1))
        runs["timeline1"].append(bench.start("Tovik_timeline.exe", 1))


def timeline_only():
    bench = Bench()
    started = time.monotonic()
    cpu = cpu_ticks()
    runs = {}
    try:
        bench.scene(1)
        bench.start("Tovik_timeline.exe", 1)
        time_the_steps(bench, runs)
        bench.scene(23)
        runs["timeline23"] = [bench.start("Tovik_timeline.exe", 23)
                              for _ in range(TIMELINE_RUNS)]
    finally:
        Session.teardown(quiet=True)
    text = "Timeline only, %d runs each (%.0f s; %s).\n\n%s" % (
        TIMELINE_RUNS, time.monotonic() - started, stolen_since(cpu),
        "\n".join(timeline_tables(runs)[0]))
    (build / "bench" / "timeline.md").write_text(text)
    print(text)


def timeline_tables(runs):
    """The steps of start-up, 1 and 23 partitions, and the kinds of call, each with its median
    cost and what each added partition adds to it; and Tovik's own steps up to the first
    showing (after the common controls) with their costs at 1 partition, dearest first."""
    def step_costs(key):
        marks = [{k[3:-3]: v for k, v in run.items() if k.startswith("at_")} for run in runs[key]]
        order = sorted(marks[0], key=lambda step: statistics.median(
            m[step] for m in marks if step in m))
        ends, costs = {}, {}
        for i, step in enumerate(order):
            ends[step] = [m[step] for m in marks if step in m]
            costs[step] = [m[step] - (m[order[i - 1]] if i else 0) for m in marks
                           if step in m and (i == 0 or order[i - 1] in m)]
        return order, ends, costs

    def median(values):
        return statistics.median(values) if values else 0.0

    order, ends1, costs1 = step_costs("timeline1")
    _, ends23, costs23 = step_costs("timeline23")
    _, floor_ends, floor_costs = step_costs("floor_timeline1")

    def cell(ends, costs, step):
        if step not in ends:
            return " | "
        return "%.1f ms | %.1f ms" % (median(ends[step]), median(costs[step]))

    lines = ["| Start-up step (timeline builds, from the probe's start of the program) "
             "| Tovik, 1 partition: ends at | its cost (quartiles) "
             "| Floor with libraries: ends at | its cost | Tovik, 23 partitions: ends at "
             "| its cost | Each added partition |", "|---|---|---|---|---|---|---|---|"]
    for step in order:
        per = (median(costs23.get(step, [])) - median(costs1[step])) / 22
        lines.append("| %s | %.1f ms | %.1f ms (%.1f–%.1f) | %s | %s | %.2f ms |" % (
            STEPS.get(step, step), median(ends1[step]), median(costs1[step]),
            *quartiles(costs1[step])[::2], cell(floor_ends, floor_costs, step),
            cell(ends23, costs23, step), per))
    # The builds' own start-up to the filled list, as the probe saw it, beside the steps.
    seen = [median([run["startup_ms"] for run in runs[key]])
            for key in ("timeline1", "floor_timeline1", "timeline23")]
    lines.append("| the filled list, as the probe saw it | %.1f ms | | %.1f ms | | %.1f ms | | |"
                 % tuple(seen))
    lines += ["", "| Calls during Tovik's start-up (timeline build) | 1 partition | Calls "
              "| 23 partitions | Calls | Each added partition |", "|---|---|---|---|---|---|"]
    found = {k[3:-3] for run in runs["timeline1"] + runs["timeline23"] for k in run
             if k.startswith("in_") and k.endswith("_ms")}
    for call in list(CALLS) + sorted(found - set(CALLS)):
        name = CALLS.get(call, call)
        one = [run.get("in_%s_ms" % call, 0.0) for run in runs["timeline1"]]
        many = [run.get("in_%s_ms" % call, 0.0) for run in runs["timeline23"]]
        count1 = median([run.get("in_%s_count" % call, 0) for run in runs["timeline1"]])
        count23 = median([run.get("in_%s_count" % call, 0) for run in runs["timeline23"]])
        lines.append("| %s | %.2f ms | %.0f | %.2f ms | %.0f | %.3f ms |" % (
            name, median(one), count1, median(many), count23,
            (median(many) - median(one)) / 22))
    # Tovik's own steps before its filled list shows: what follows the first showing (its paint,
    # the tray icon) is not waited for.
    shown = order.index("first_showing") + 1 if "first_showing" in order else len(order)
    own = sorted(((median(costs1[s]), STEPS.get(s, s)) for s in order[:shown]
                  if s not in ("entry", "common_controls")), reverse=True)
    per_call = sorted((((median([r.get("in_%s_ms" % c, 0.0) for r in runs["timeline23"]]) -
                         median([r.get("in_%s_ms" % c, 0.0) for r in runs["timeline1"]])) / 22,
                        CALLS[c]) for c in CALLS if c != "row"), reverse=True)
    return lines, own, per_call


def report(runs):
    """The table: each measure of Tovik beside the plain floor and the floor that also loads the
    libraries Tovik cannot do without; the goals are set against the floor with the libraries,
    the plain floor stands beside it for reference. A goal missed names the step of the
    timeline that costs most, with its cost; the timeline's own tables follow."""
    rows = []
    steps, own, per_call = timeline_tables(runs)

    def missed(met, step):
        return met if met else "**no**: %s" % step

    def cell(values, unit):
        if isinstance(values, (int, float)):
            return fmt(values, unit)
        low, middle, high = quartiles(values)
        return "%s (%s–%s)" % (fmt(middle, unit), fmt(low, unit, bare=True),
                                fmt(high, unit, bare=True))

    def row(name, tovik, floor=None, libraries=None, unit="ms", goal="", met=None):
        middle = statistics.median(tovik) if not isinstance(tovik, (int, float)) else tovik
        cells = [name, cell(tovik, unit)]
        for base in (floor, libraries):
            if base is None:
                cells += ["", ""]
                continue
            base_middle = statistics.median(base) if not isinstance(base, (int, float)) else base
            cells += [cell(base, unit), "%.2f" % (middle / base_middle) if base_middle else ""]
        verdict = met if isinstance(met, str) else "" if met is None else "yes" if met else "**no**"
        cells += [goal, verdict]
        rows.append("| " + " | ".join(cells) + " |")

    def values(key, field):
        return [run[field] for run in runs[key]]

    sizes = {}
    for arch in ("i686", "x86_64"):
        folder = build / ("win-" + arch)
        sizes[arch] = [(folder / name).stat().st_size / 1024 for name in
                       ("Tovik.exe", "bench/floor.exe", "bench/floor_libraries.exe")]
    # No larger than the program-file test allows.
    row("Program size, i686", *sizes["i686"], unit="KiB", goal="≤ 217 KiB",
        met=sizes["i686"][0] <= 217)
    row("Program size, x86_64", *sizes["x86_64"], unit="KiB")

    start = values("tovik", "startup_ms")
    floor = values("floor", "startup_ms")
    libraries = values("libraries", "startup_ms")
    ratio = statistics.median(start) / statistics.median(libraries)
    over = statistics.median(start) - 1.10 * statistics.median(libraries)
    row("Start-up to the filled list, 1 partition", start, floor, libraries,
        goal="≤ 1.10 × floor with libraries",
        met=missed(ratio <= 1.10, "%.1f ms over; dearest step: %s, %.1f ms" % (
            over, own[0][1], own[0][0])))
    row("Tovik ÷ the floor with libraries of the same round",
        [t / f for t, f in zip(start, libraries)], unit="")
    row("Tovik ÷ the plain floor of the same round", [t / f for t, f in zip(start, floor)],
        unit="")
    start23 = values("tovik23", "startup_ms")
    floor23 = values("floor23", "startup_ms")
    libraries23 = values("libraries23", "startup_ms")
    ratio23 = statistics.median(start23) / statistics.median(libraries23)
    row("Start-up to the filled list, 23 partitions", start23, floor23, libraries23,
        goal="≤ 1.10 × floor with libraries (23 rows, the same questions)",
        met=missed(ratio23 <= 1.10, "%.1f ms over; dearest call a partition: %s, %.2f ms" % (
            statistics.median(start23) - 1.10 * statistics.median(libraries23),
            per_call[0][1], per_call[0][0])))
    row("Tovik ÷ the floor with libraries of the same round, 23 partitions",
        [t / f for t, f in zip(start23, libraries23)], unit="")
    per_partition = (statistics.median(start23) - statistics.median(start)) / 22
    per_drive = (statistics.median(libraries23) - statistics.median(libraries)) / 22
    look = statistics.median(values("looks23", "first_look_ms"))
    row("Start-up, each added partition (1 → 23)", per_partition)
    row("The floor with libraries' start-up, each added partition", per_drive)
    row("The plain floor's start-up, each added drive",
        (statistics.median(floor23) - statistics.median(floor)) / 22)
    # The same growth from each round's pair of starts, which a slow spell of the machine
    # hits alike: what Tovik adds a partition beyond the floor's growth.
    beyond = (statistics.median([t - f for t, f in zip(start23, libraries23)]) -
              statistics.median([t - f for t, f in zip(start, libraries)])) / 22
    row("Each added partition beyond the floor with libraries' growth, from each round's pair",
        beyond)
    # The timeline, which starts after the loader, splits the same growth: the system's
    # questions about a drive (the look, the listing after the probe, what its letter stands
    # for) and what is left, Tovik's own part; the first showing's growth, in that part, is the
    # list's scroll bar, drawn once there are more rows than it shows.
    def grown(step):
        def spans(key):
            return statistics.median(run["at_%s_ms" % step] - run["at_entry_ms"]
                                     for run in runs[key])
        return (spans("timeline23") - spans("timeline1")) / 22
    asked = look + statistics.median(values("looks23", "first_listing_ms")) + (
        statistics.median(values("looks23", "sweep_ms")) -
        statistics.median(values("looks1", "sweep_ms"))) / 22
    showing = grown("first_showing") - grown("command_bar")
    row("Tovik's own part of each added partition, from the timeline, beyond the system's "
        "questions about the drive (%.1f ms)" % asked, grown("first_showing") - asked,
        goal="for reference: 0.3 ms; of it the first showing, %.2f ms" % showing)
    row("A fresh process's first look at a fixed drive, as at start-up",
        values("looks23", "first_look_ms"))
    row("The same look once more, as in a rebuild", values("looks23", "next_look_ms"))
    row("of which the system's drive-type query", values("looks23", "drive_type_ms"))
    row("The listing of c:\\*.* after each vault probe, first", values("looks23",
                                                                    "first_listing_ms"))
    row("The question about every letter (A to Z), 1 drive", values("looks1", "sweep_ms"))
    row("The question about every letter (A to Z), 23 drives", values("looks23", "sweep_ms"))

    rebuild1 = values("cycle1", "rebuild_ms")
    rebuild23 = values("cycle23", "rebuild_ms")
    row("Close to the rebuilt list, 1 partition", rebuild1)
    row("Close to the rebuilt list, 23 partitions", rebuild23)
    per_rebuild = (statistics.median(rebuild23) - statistics.median(rebuild1)) / 22
    row("List rebuild, each added partition", per_rebuild, goal="< 1 ms", met=per_rebuild < 1)
    row("subst.exe /d's own run time within Close", values("cycle1", "unmap_subst_ms"))

    floor_peak = values("floor", "peak_kib")
    libraries_peak = values("libraries", "peak_kib")
    peak = values("tovik", "peak_kib")
    row("Peak working set after start-up", peak, floor_peak, libraries_peak, unit="KiB",
        goal="≤ 1.05 × floor with libraries",
        met=statistics.median(peak) <= 1.05 * statistics.median(libraries_peak))
    for name, key in (("after Open", "peak_open_kib"), ("after Open and Close",
                                                        "peak_closed_kib")):
        row("Peak working set " + name, values("cycle1", key), floor_peak, libraries_peak,
            unit="KiB")
    for kind, name in (("comctl32", "the common controls"), ("shell32", "the shell"),
                       ("font", "a row in 宋体 (the CJK font)"),
                       ("ole", "COM and OLE (no longer loaded at start-up)")):
        row("On its own: %s, time" % name, values("cost_" + kind, "cost_ms"))
        row("On its own: %s, working set" % name, values("cost_" + kind, "cost_kib"),
            unit="KiB")

    idle_floor = values("idle_floor", "idle_cpu_ms")
    for name, key in (("shown", "idle_cpu_ms"), ("hidden in the tray", "hidden_cpu_ms")):
        value = values("idle_tovik", key)
        row("CPU time in %d s of waiting, %s" % (IDLE_SECONDS, name), value, idle_floor,
            goal="< 10 ms", met=statistics.median(value) < 10)

    overhead = [c["open_ms"] - c["subst_ms"] for c in runs["cycle1"]]
    row("Open: notice answered to Explorer started", values("cycle1", "open_ms"))
    row("Open: subst.exe's own run time", values("cycle1", "subst_ms"))
    row("Open: all the rest", overhead, goal="≤ 30 ms", met=statistics.median(overhead) <= 30)

    head = ["| Measure | Tovik | Floor | Ratio | Floor with Tovik's libraries and Chinese text "
            "| Ratio | Goal | Met |", "|---|---|---|---|---|---|---|---|"]
    return "\n".join(head + rows + [""] + steps) + "\n"


def fmt(value, unit, bare=False):
    if unit == "KiB":
        text = "%.0f" % value
    elif unit == "":
        return "%.2f" % value
    else:
        text = "%.1f" % value
    return text if bare else "%s %s" % (text, unit)


if __name__ == "__main__":
    main()
