"""Works the real Tovik.exe under wine64 in Xvfb through rounds of the everyday commands and
compares what the system counts of the process before and after; exits 1 when a counter grew
past its tolerance.

Run by bench/soak [rounds], which builds what it needs first.
"""

import os
import pathlib
import sys
import time

top = pathlib.Path(__file__).resolve().parent.parent
build = top / "build"
os.environ.update(TOVIK_EXE=str(build / "win-x86_64" / "Tovik.exe"),
                  TOVIK_E2E_TOOLS=str(build / "win-x86_64" / "tests" / "e2e" / "tools"),
                  TOVIK_E2E_WORK=str(build / "soak"))
sys.path.insert(0, str(top / "tests" / "e2e"))

from tovik_e2e import (MAIN_TITLE, Drive, DriverError, Scene, Session, Tovik,  # noqa: E402
                       make_vault)

ROUNDS = 300
OPEN, CLOSE, NEW, DELETE, ABOUT = 0, 1, 2, 3, 5
CALLBACK, RIGHT_UP = 2025, 517
WM_SYSCOMMAND, SC_MINIMIZE = 0x112, 0xF020
LB_GETITEMHEIGHT = 0x1A1
RESTORE = 0  # the tray menu's first item
GB = 1_000_000_000

# What the driver's counters command reads, what the table calls it, and how far it may grow
# over the whole run. Wine 8 answers GetProcessHandleCount with 0, PrivateUsage with the
# process's swap (0) and GetGuiResources not at all; those are shown but not judged.
COUNTERS = [
    ("handles", "Handles (GetProcessHandleCount)", None),
    ("handles_listed", "Handles (system handle list)", 4),
    ("private_kib", "Private bytes, KiB (PrivateUsage)", None),
    ("private_committed_kib", "Private committed memory, KiB", 1024),
    ("working_set_kib", "Working set, KiB", 2048),
    ("gdi_objects", "GDI objects (GetGuiResources)", None),
    ("user_objects", "USER objects (GetGuiResources)", None),
    ("gdi_table", "GDI objects (the process's handle table)", 4),
    ("windows", "Windows, child windows included", 0),
    ("rss_anon_kib", "Linux anonymous resident memory, KiB", 2048),
]


class Soak:
    """The scene: D: holds a vault without a password, E: is the scratch partition that New and
    Delete work on; C: is a network drive, so D: is the first row and opens at F:."""

    def __init__(self):
        self.session = Session.load()
        scene = Scene(self.session, Drive("c", "network"),
                      Drive("d", "hd", size=GB, recycled=True),
                      Drive("e", "hd", size=GB, recycled=True), name="soak").apply()
        make_vault(scene.path("d"))
        self.scratch = scene.path("e") / "Recycled" / "Tovik"
        self.tovik = Tovik(scene).start()
        self.list = self.tovik.child(self.tovik.main, "ListBox")["handle"]
        self.row_height = int(self.tovik.driver("send", self.list, LB_GETITEMHEIGHT, 0, 0))

    def select(self, row):
        self.tovik.mouse("click", self.list, 50, self.row_height * row + self.row_height // 2)

    def expect_row(self, row, drive, state):
        """Waits for row `row` to name `drive` and end in `state`."""
        deadline = time.monotonic() + 10
        while True:
            try:
                rows, _ = self.tovik.rows()
            except DriverError:  # a Wine start-up that failed now and then in thousands
                rows = []
            found = rows[row] if row < len(rows) else ""
            if found.startswith(drive) and found.endswith(state):
                return
            if time.monotonic() > deadline:
                raise AssertionError("row %d reads %r, not %s ...%s" % (row, found, drive, state))
            time.sleep(0.1)

    def expect_box(self, title, button="确定"):
        box = self.tovik.message_box()
        if box["title"] != title:
            raise AssertionError("message box %r, not %s" % (box, title))
        self.tovik.press(box["handle"], button)
        return box["handle"]

    def one_round(self):
        tovik = self.tovik
        self.select(1)
        tovik.command(NEW)
        tovik.wait_gone_handle(self.expect_box("提示"))
        self.expect_row(1, "E:", "  已创建 未打开")
        if not (self.scratch / "我的Tovik").is_dir():
            raise AssertionError("New made no vault on E:")

        self.select(1)  # every rebuild selects the first row
        tovik.command(DELETE)
        self.expect_box("警告", "是(Y)")
        tovik.press(tovik.wait("确认删除文件夹"), "是(Y)")
        self.expect_row(1, "E:", "  未创建")
        if self.scratch.exists():
            raise AssertionError("Delete left the vault on E:")

        tovik.command(OPEN)  # on D:, selected by the rebuild
        self.expect_box("提示")  # no password: the notice, then the mapping
        self.expect_row(0, "D:", "  已创建 D:=> F: ")
        tovik.command(CLOSE)
        self.expect_row(0, "D:", "  已创建 未打开")

        tovik.command(ABOUT)
        about = tovik.wait("关于")
        tovik.press(about, "确定")
        tovik.wait_gone_handle(about)

        tovik.driver("post", tovik.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        tovik.driver("wait-gone", tovik.main)
        tovik.driver("post", tovik.main, CALLBACK, 0, RIGHT_UP)
        tovik.driver("menu-pick", RESTORE)
        tovik.wait(MAIN_TITLE)

    def counters(self):
        """The least of three readings a second apart: what a round leaves behind raises
        every reading, what is still being freed only some."""
        readings = []
        for _ in range(3):
            found = {}
            for line in self.tovik.driver("counters", self.tovik.pid).splitlines():
                key, _, value = line.partition("=")
                found[key] = None if value == "none" else int(value)
            found["rss_anon_kib"] = rss_anon_kib("C:\\tovik\\Tovik.exe")
            readings.append(found)
            time.sleep(1)
        return {key: None if readings[0][key] is None else min(r[key] for r in readings)
                for key in readings[0]}


def rss_anon_kib(windows_path):
    """Anonymous memory resident in the Linux processes Wine runs the program in: the Unix
    side of Wine's libraries (GDI's objects among them) allocates there, out of sight of
    the Windows counters."""
    total = 0
    for entry in pathlib.Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and windows_path.encode() in (entry / "cmdline").read_bytes():
                for line in (entry / "status").read_text().splitlines():
                    if line.startswith("RssAnon:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def table(before, after, rounds):
    lines = ["| Counter | Before | After %d rounds | Growth | Tolerance |" % rounds,
             "|---|---|---|---|---|"]
    failed = []
    for key, name, tolerance in COUNTERS:
        old, new = before.get(key), after.get(key)
        if old is None or new is None:
            lines.append("| %s | not counted | not counted | | |" % name)
            continue
        growth = new - old
        judged = "≤ %d" % tolerance if tolerance is not None else "not judged: always 0"
        if tolerance is not None and growth > tolerance:
            judged += " **exceeded**"
            failed.append(name)
        lines.append("| %s | %d | %d | %+d | %s |" % (name, old, new, growth, judged))
    return "\n".join(lines), failed


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else ROUNDS
    started = time.monotonic()
    Session.setup()
    try:
        soak = Soak()
        # The first round makes what is made once (fonts, COM, the shell's delete dialog).
        soak.one_round()
        before = soak.counters()
        for done in range(1, rounds + 1):
            try:
                soak.one_round()
            except AssertionError:
                print("round %d failed; screenshot %s" % (done, soak.session.screenshot(
                    soak.session.prefix.parent / "failure.png")), file=sys.stderr)
                raise
            if done % 50 == 0 or done == rounds:
                print("%d rounds, %.0f s: %s" % (done, time.monotonic() - started,
                                                 soak.counters()), flush=True)
        after = soak.counters()
        subst = len(soak.tovik.scene.subst_log())
        soak.tovik.stop()
    finally:
        Session.teardown(quiet=True)
    if subst != 2 * (rounds + 1):
        sys.exit("subst.exe ran %d times, not %d" % (subst, 2 * (rounds + 1)))
    text, failed = table(before, after, rounds)
    print("\n" + text)
    print("\n%d rounds in %.0f s" % (rounds, time.monotonic() - started))
    if failed:
        sys.exit("grew past the tolerance: " + ", ".join(failed))


if __name__ == "__main__":
    main()
