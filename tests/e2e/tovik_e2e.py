"""Runs the real Tovik.exe under Wine in Xvfb and works it from outside with driver.exe.

One session per test run: an Xvfb display and a fresh Wine prefix in the build tree, made by
`python3 tovik_e2e.py setup` and removed by `... teardown` (CTest fixtures). Each test then
lays out a scene (the drives and what is on them), starts Tovik.exe and drives it.
"""

import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

# Tovik.exe is x86_64 or i686 (TOVIK_E2E_ARCH), the prefix win64 or win32; the i686 program in
# a win64 prefix runs as on 64-bit Windows. TOOLS are the stand-ins and driver of the program's
# size, PREFIX_TOOLS those of the prefix's size.
ARCH = os.environ.get("TOVIK_E2E_ARCH", "x86_64")
WINEARCH = os.environ.get("TOVIK_E2E_WINEARCH", "win64")
PREFIX_ARCH = "x86_64" if WINEARCH == "win64" else "i686"
LOADERS = {"x86_64": "/usr/lib/wine/wine64", "i686": "/usr/lib/wine/wine"}
WINE = LOADERS[PREFIX_ARCH]
WINESERVER = "/usr/lib/wine/wineserver"
WINE_FONTS = pathlib.Path("/usr/share/wine/fonts")

EXE = pathlib.Path(os.environ.get("TOVIK_EXE", "Tovik.exe"))
TOOLS = pathlib.Path(os.environ.get("TOVIK_E2E_TOOLS", "."))
PREFIX_TOOLS = pathlib.Path(os.environ.get("TOVIK_E2E_PREFIX_TOOLS", TOOLS))
# A 32-bit program on 64-bit Windows finds system32's programs in syswow64.
SUBST_FOLDER = "syswow64" if ARCH != PREFIX_ARCH else "system32"
# In C:\e2e. Reading a menu runs code inside the program: that takes a driver of its size.
DRIVER = "driver.exe"
PROGRAM_DRIVER = DRIVER if ARCH == PREFIX_ARCH else "driver-%s.exe" % ARCH
WORK = pathlib.Path(os.environ.get("TOVIK_E2E_WORK", "/tmp/tovik-e2e"))
STATE = WORK / "session.json"
# Wine names files on the Linux side in the locale's character set; without a real zh_CN.UTF-8
# locale that is ASCII, and a folder such as 我的Tovik cannot be made at all.
LOCALE = WORK / "locale"

# The caption carries the project's version, as CMakeLists.txt gives it.
MAIN_TITLE = "我的Tovik V%s.%s" % re.search(
    r"project\(Tovik VERSION (\d+)\.(\d+)",
    (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()).groups()


def hexs(text):
    """Non-ASCII arguments travel to Windows programs as hex of their UTF-8 bytes."""
    return text.encode("utf-8").hex()


def format_free_space(available):
    """The free-space piece of a row, as the program writes it."""
    hundredths, rest = divmod(available, 10_000_000)
    if rest >= 5_000_000:
        hundredths += 1
    return " 剩余%d.%02dGB" % divmod(hundredths, 100)


def free_space_texts(path):
    st = os.statvfs(path)
    return format_free_space(st.f_bavail * st.f_frsize)


# ---------------------------------------------------------------------------------------------
# The session: display and prefix


def _free_display():
    for number in range(90, 140):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists(
                "/tmp/.X%d-lock" % number):
            return ":%d" % number
    raise RuntimeError("no free X display")


def start_xvfb():
    """A display of our own; returns its name and the server's pid."""
    display = _free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    for _ in range(100):
        if os.path.exists("/tmp/.X11-unix/X" + display[1:]):
            break
        time.sleep(0.1)
    return display, xvfb.pid


def _reg_file(path, text):
    """regedit takes UTF-16 files with a BOM, which keeps the Chinese names intact."""
    path.write_bytes(b"\xff\xfe" + ("Windows Registry Editor Version 5.00\r\n\r\n" + text)
                     .replace("\n", "\r\n").replace("\r\r\n", "\r\n").encode("utf-16-le"))


_PREFIX_SETTINGS = r"""
[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"shell"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="AR PL UMing CN"
"宋体"="AR PL UMing CN"

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"subst.exe"="native"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):{link}
"MS Shell Dlg"=hex(7):{link}
"Microsoft Sans Serif"=hex(7):{link}
"""


def _multi_string(*items):
    data = "".join(item + "\0" for item in items) + "\0"
    return ",".join("%02x" % b for b in data.encode("utf-16-le"))


class Session:
    """The display and the Wine prefix that every test of a run shares."""

    def __init__(self, state):
        self.display = state["display"]
        self.prefix = pathlib.Path(state["prefix"])
        self.xvfb_pid = state.get("xvfb_pid")

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def env(self, loader=WINE):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), WINEARCH=WINEARCH, WINEDEBUG="-all",
                   WINELOADER=loader, DISPLAY=self.display, LC_ALL="zh_CN.UTF-8",
                   LANG="zh_CN.UTF-8", LOCPATH=str(LOCALE))
        return env

    def wine(self, *args, timeout=60, check=False, stdin=None, loader=WINE):
        # Output goes through files, not pipes: the first Wine program of a scene starts the
        # wineserver and the system services, which inherit its handles and would keep a pipe
        # open long after the program itself has ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.run([loader, *args], env=self.env(loader), stdout=out,
                                     stderr=err, timeout=timeout, check=check, stdin=stdin)
            out.seek(0)
            err.seek(0)
            process.stdout = out.read()
            process.stderr = err.read()
        return process

    def start(self, *args, loader=WINE):
        return subprocess.Popen([loader, *args], env=self.env(loader), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)

    def regedit(self, text):
        # The work folder lies outside the prefix; C:\ is the one drive every scene keeps.
        _reg_file(self.drive_c / "settings.reg", text)
        self.wine("regedit", "/S", "C:\\settings.reg", timeout=120)

    def kill_server(self):
        subprocess.run([WINESERVER, "-k"], env=self.env(), capture_output=True, timeout=60)
        subprocess.run([WINESERVER, "-w"], env=self.env(), capture_output=True, timeout=60)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", str(path)],
                       env=dict(os.environ, DISPLAY=self.display), capture_output=True,
                       timeout=60)
        return path

    # -- set-up and tear-down, run once per test run by CTest's fixtures

    @staticmethod
    def make_locale():
        if not (LOCALE / "zh_CN.UTF-8" / "LC_CTYPE").exists():
            LOCALE.mkdir(parents=True, exist_ok=True)
            subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8",
                            str(LOCALE / "zh_CN.UTF-8")], check=True, capture_output=True)

    def make_prefix(self, explorer_standin=True):
        """A fresh prefix with the CJK fonts linked, the virtual desktop with its tray, and
        our stand-in subst.exe in the program's system folder (Wine's own maps nothing). The
        stand-in explorer.exe takes the place of Wine's in the Windows folder, where Tovik starts
        it from; the virtual desktop runs the one in system32."""
        started = time.monotonic()
        Session.make_locale()
        self.wine("wineboot", "-i", timeout=300)
        # 宋体 is a Song face drawn from bitmaps at 12 to 16 pixels on Windows; AR PL UMing
        # is one too, where the outline faces we tried lose strokes at those sizes.
        link = _multi_string("uming.ttc,AR PL UMing CN")
        self.regedit(_PREFIX_SETTINGS.replace("{link}", link))
        # Debian's Wine looks for its own fonts elsewhere than fonts-wine puts them; without
        # Marlett the title-bar buttons draw as "0 1 r".
        shutil.copyfile(WINE_FONTS / "marlett.ttf",
                        self.drive_c / "windows" / "Fonts" / "marlett.ttf")
        windows = self.drive_c / "windows"
        shutil.copyfile(PREFIX_TOOLS / "subst.exe", windows / "system32" / "subst.exe")
        shutil.copyfile(TOOLS / "subst.exe", windows / SUBST_FOLDER / "subst.exe")
        if explorer_standin:
            # The Windows folder is not redirected: the prefix's own size runs there.
            shutil.copyfile(PREFIX_TOOLS / "explorer.exe", windows / "explorer.exe")
        tools = self.drive_c / "e2e"
        tools.mkdir(exist_ok=True)
        shutil.copyfile(PREFIX_TOOLS / "driver.exe", tools / "driver.exe")
        shutil.copyfile(TOOLS / "driver.exe", tools / PROGRAM_DRIVER)
        self.kill_server()
        return time.monotonic() - started

    # -- set-up and tear-down, run once per test run by CTest's fixtures

    @staticmethod
    def setup():
        Session.teardown(quiet=True)
        if WORK.exists():
            shutil.rmtree(WORK)
        WORK.mkdir(parents=True)
        display, xvfb_pid = start_xvfb()
        state = {"display": display, "prefix": str(WORK / "prefix"), "xvfb_pid": xvfb_pid}
        STATE.write_text(json.dumps(state))
        seconds = Session(state).make_prefix()
        print("prefix ready in %.1f s on display %s" % (seconds, display))

    @staticmethod
    def teardown(quiet=False):
        if not STATE.exists():
            return
        state = json.loads(STATE.read_text())
        session = Session(state)
        session.kill_server()
        Scene.unmount_all()
        if session.xvfb_pid:
            try:
                os.kill(session.xvfb_pid, 15)
            except ProcessLookupError:
                pass
        STATE.unlink()
        if not quiet:
            print("session ended")

    @staticmethod
    def load():
        return Session(json.loads(STATE.read_text()))


# ---------------------------------------------------------------------------------------------
# Scenes: drives and what lies on them


class Drive:
    """A drive letter of the scene: its Wine type ("hd", "cdrom", "network", "floppy") and,
    for a partition of its own, the size of the tmpfs behind it (so its free space is
    known), or None for a plain folder."""

    def __init__(self, letter, kind="hd", size=None, recycled=False):
        self.letter = letter.lower()
        self.kind = kind
        self.size = size
        self.recycled = recycled
        self.path = None


class Scene:
    """Lays out the drives of one test. C: stays the prefix's own drive unless a Drive("c")
    with another type is given."""

    MOUNTS = WORK / "mounts.txt"

    def __init__(self, session, *drives, name="scene"):
        self.session = session
        self.drives = {d.letter: d for d in drives}
        self.root = WORK / "scenes" / name

    def path(self, letter):
        letter = letter.lower()
        if letter == "c":
            return self.session.drive_c
        return self.drives[letter].path

    def apply(self, fresh=True):
        """Makes the drives; `fresh=False` keeps what earlier runs left on them."""
        self.session.kill_server()
        Scene.unmount_all()
        if fresh and self.root.exists():
            shutil.rmtree(self.root)
        dosdevices = self.session.prefix / "dosdevices"
        for link in dosdevices.iterdir():
            if len(link.name) == 2 and link.name[1] == ":" and link.name != "c:":
                link.unlink()
        registry = ["[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]",
                    "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]"]
        for drive in self.drives.values():
            registry.append('"%s:"="%s"' % (drive.letter, drive.kind))
            if drive.letter == "c":
                continue
            drive.path = self.root / drive.letter
            drive.path.mkdir(parents=True, exist_ok=True)
            if drive.size:
                self._mount(drive)
            (dosdevices / (drive.letter + ":")).symlink_to(drive.path)
            if drive.recycled:
                (drive.path / "Recycled").mkdir(exist_ok=True)
        self.session.regedit("\n".join(registry) + "\n")
        for name in ("subst-log.txt", "explorer-log.txt", "subst-mode.txt", "subst-times.txt",
                     "explorer-times.txt"):
            (self.session.drive_c / name).unlink(missing_ok=True)
        self.session.kill_server()
        return self

    def _mount(self, drive):
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % drive.size, "tmpfs",
                                 str(drive.path)], capture_output=True)
        if result.returncode == 0:
            with open(Scene.MOUNTS, "a") as mounts:
                mounts.write(str(drive.path) + "\n")

    @staticmethod
    def unmount_all():
        if Scene.MOUNTS.exists():
            for line in Scene.MOUNTS.read_text().split():
                subprocess.run(["umount", "-l", line], capture_output=True)
            Scene.MOUNTS.unlink()

    def subst_log(self):
        log = self.session.drive_c / "subst-log.txt"
        if not log.exists():
            return []
        return [line for line in log.read_bytes().decode("utf-8").split("\r\n") if line]

    def explorer_log(self):
        log = self.session.drive_c / "explorer-log.txt"
        if not log.exists():
            return []
        return [line for line in log.read_bytes().decode("utf-8").split("\r\n") if line]

    def subst_mode(self, mode):
        """"fail" or "hang": every run; "fail-unmap": only unmappings fail; "slow": every run
        takes 3 s and then works."""
        (self.session.drive_c / "subst-mode.txt").write_text(mode + "\r\n")

    def subst_path(self):
        return "C:\\windows\\system32\\subst.exe"


def make_vault(root):
    """A vault laid out by hand, as the program makes it."""
    vault = root / "Recycled" / "Tovik"
    (vault / "我的Tovik").mkdir(parents=True)
    (vault / "Recycled").mkdir()
    (vault / "我的Tovik" / "Desktop.ini").write_bytes(
        b"[.ShellClassInfo]\r\nIconFile=%SystemRoot%\\system32\\SHELL32.dll\r\nIconIndex = 44\r\n")
    (vault / "Recycled" / "Desktop.ini").write_bytes(
        b"[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n")
    return vault


# ---------------------------------------------------------------------------------------------
# The program and the driver


class DriverError(AssertionError):
    pass


class Tovik:
    """One run of Tovik.exe in a scene, and driver.exe to work it."""

    def __init__(self, scene):
        self.scene = scene
        self.session = scene.session
        self.process = None
        self.folder = self.session.drive_c / "tovik"

    def start(self, wait=True, show=None):
        """`show`: a show command as `start` takes it ("/max", "/min"), as a shortcut gives."""
        self.folder.mkdir(exist_ok=True)
        shutil.copyfile(EXE, self.folder / "Tovik.exe")
        self._panel = None
        if show:
            self.process = self.session.start("start", show, "C:\\tovik\\Tovik.exe")
        else:
            self.process = self.session.start("C:\\tovik\\Tovik.exe", loader=LOADERS[ARCH])
        if wait:
            self.main = self.wait(MAIN_TITLE, timeout=30000)
            self.pid = self.info(self.main)["pid"]  # Windows' own number for the process
        return self

    def start_second(self):
        return self.session.start("C:\\tovik\\Tovik.exe", loader=LOADERS[ARCH])

    def exited(self, timeout=10):
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self):
        if self.process and self.process.poll() is None:
            self.session.kill_server()
            self.process.wait(30)

    # -- driver.exe

    def driver(self, *args, timeout=60, check=True):
        driver, loader = DRIVER, WINE
        if args[0] in ("menu", "menu-pick"):
            driver, loader = PROGRAM_DRIVER, LOADERS[ARCH]
        for _ in range(2):
            result = self.session.wine("C:\\e2e\\" + driver, *[str(a) for a in args],
                                       timeout=timeout, loader=loader)
            # Every outcome of the driver's own prints something; a run that ended silently
            # never got as far as the driver (Wine failed to start it) and is made again.
            if result.returncode == 0 or result.stdout or result.stderr:
                break
        out = result.stdout.decode("utf-8", "replace")
        if check and result.returncode != 0:
            raise DriverError("driver %s failed (%d): %s %s" % (
                " ".join(str(a) for a in args), result.returncode, out,
                result.stderr.decode("utf-8", "replace")))
        return out

    def wait(self, title, timeout=10000):
        return self.waiting_driver("a window %r" % title, "wait", "title:" + hexs(title),
                                   timeout).strip()

    def wait_gone(self, title, timeout=10000):
        return self.driver("wait-gone", "title:" + hexs(title), timeout, check=False)

    def waiting_driver(self, what, *args):
        """A driver command that waits; one whose time runs out says what the program showed."""
        try:
            return self.driver(*args)
        except DriverError as error:
            raise DriverError("%s\n%s" % (error, self.ran_out("waited for " + what))) from None

    def showing(self):
        """What the program shows now: its list, the box it has open, its windows, and the
        subst.exe calls so far."""
        lines = []
        try:
            rows, selected = self.rows()
            lines.append("rows %r, row %d selected" % (rows, selected))
        except Exception as error:  # the window may be gone
            lines.append("no rows (%s)" % str(error).strip())
        box = _fields(self.driver("msgbox", 0, check=False))
        if box:
            lines.append("a box %r: %r, buttons %s" % (box.get("title"), box.get("text"),
                                                       box.get("buttons")))
        try:
            pid = self.pid
            lines.append("windows %r" % [(w["class"], w["title"], "enabled" if w["enabled"]
                                          else "disabled") for w in self.windows()
                                         if w["pid"] == pid and w["visible"]])
        except Exception as error:
            lines.append("no windows (%s)" % str(error).strip())
        lines.append("subst.exe %r" % self.scene.subst_log())
        return "\n".join("  " + line for line in lines)

    def ran_out(self, what):
        """Says, on the test's output, what the program showed when a wait ran out."""
        text = "%s: the time ran out, and the program showed\n%s" % (what, self.showing())
        print(text, file=sys.stderr)
        return text

    def windows(self):
        rows = []
        for line in self.driver("windows").splitlines():
            fields = line.split("\t")
            if len(fields) >= 6:
                rows.append({"handle": fields[0], "pid": fields[1], "visible": fields[2] == "1",
                             "enabled": fields[3] == "1", "class": fields[4],
                             "title": fields[5]})
        return rows

    def visible_titled(self, title):
        return [w for w in self.windows() if w["title"] == title and w["visible"]]

    def info(self, spec):
        values = {}
        for line in self.driver("info", spec).splitlines():
            key, _, value = line.partition("=")
            values[key] = value
        return values

    def rows(self):
        """The list's rows and the selected row index."""
        lines = self.driver("list-rows", self.main).split("\n")
        selected = int(lines[0].split("=")[1])
        count = int(lines[1].split("=")[1])
        return [unescape(line) for line in lines[2:2 + count]], selected

    def wait_rows(self, row, text=None, timeout=10, ending=None):
        """Row `row` once it reads `text` (or ends with `ending`), or as it reads when the time
        is up."""
        deadline = time.monotonic() + timeout
        while True:
            rows, _ = self.rows()
            found = rows[row] if row < len(rows) else None
            if found is not None and (found == text or (ending and found.endswith(ending))):
                return found
            if time.monotonic() > deadline:
                self.ran_out("row %d reading %r" % (row, text or "…" + ending))
                return found
            time.sleep(0.1)

    def tray_icons(self, timeout=0):
        """The program's icons in the notification area; with a timeout, once there is one. The
        icon comes after the window's first showing, so a window found is not yet an icon."""
        deadline = time.monotonic() + timeout
        while True:
            icons = [line.split("\t") for line in self.driver("tray").splitlines()[1:]
                     if line.split("\t")[1] == self.pid]
            if icons or time.monotonic() >= deadline:
                if not icons and timeout:
                    self.ran_out("the tray icon")
                return icons
            time.sleep(0.1)

    def message_box(self, timeout=10000):
        return _fields(self.waiting_driver("a message box", "msgbox", timeout))

    def row_or_box(self, row, ending, timeout=20):
        """Waits for a step to end: None once row `row` ends with `ending`, or the message box
        that showed instead. Neither a slow row nor a late box is mistaken for the other."""
        deadline = time.monotonic() + timeout
        while True:
            out = self.driver("msgbox", 300, check=False)
            if out.strip():
                return _fields(out)
            rows, _ = self.rows()
            if row < len(rows) and rows[row].endswith(ending):
                return None
            if time.monotonic() > deadline:
                raise AssertionError(self.ran_out("row %d ending %r, or a box" % (row, ending)))

    def no_message_box(self, timeout=1500):
        """No box shows. The program's thread is let come back to a message loop first (a
        message sent to its window is answered only there), so that a box still on its way
        is not taken for none; a wait for the step's own sign belongs before this."""
        self.driver("send", self.main, 0, 0, 0)  # WM_NULL
        return self.driver("msgbox", timeout, check=False).strip() == ""

    def press(self, window, text):
        self.driver("press", window, hexs(text))

    def children(self, window):
        """The child windows: handle, class, id, visible, text and rect (in the parent's
        client area, left top right bottom)."""
        found = []
        for line in self.driver("children", window).splitlines():
            fields = line.split("\t")
            if len(fields) >= 6:
                found.append({"handle": fields[0], "class": fields[1], "id": int(fields[2]),
                              "visible": fields[3] == "1", "text": unescape(fields[4]),
                              "rect": tuple(int(v) for v in fields[5].split())})
        return found

    def accessible(self, window):
        """What a screen reader finds in the window and the windows inside it: per client
        object (child 0) and per simple element its handle, child, role, state and name."""
        found = []
        for line in self.driver("accessible", window).splitlines():
            fields = line.split("\t")
            if len(fields) >= 5:
                found.append({"handle": fields[0], "child": int(fields[1]),
                              "role": int(fields[2]), "state": int(fields[3], 16),
                              "name": unescape(fields[4])})
        return found

    def child(self, window, class_name):
        return next(c for c in self.children(window) if c["class"] == class_name)

    def pixel(self, window, x, y):
        return tuple(int(v) for v in self.driver("pixel", window, x, y).strip().split(","))

    def mouse(self, action, window, x, y, button="left"):
        self.driver("mouse", action, window, x, y, button)

    def rect(self, window, key="rect"):
        return tuple(int(v) for v in self.info(window)[key].split())

    # -- the command bar at 96 DPI: image i is 50 x 22 pixels at (0, 24 i) of the panel, and its
    # label lies 50 twips lower, over (0, 24 i + 3) to (50, 24 i + 25).

    FACES = {"normal": (23, 139, 3), "hover": (93, 172, 68), "disabled": (133, 133, 133)}

    @property
    def panel(self):
        if not getattr(self, "_panel", None):
            self._panel = self.child(self.main, "TovikCommandPanel")["handle"]
        return self._panel

    def face(self, index):
        """The face button `index` shows, from a pixel at its left edge, clear of the caption."""
        colour = self.pixel(self.panel, 3, 24 * index + 11)
        return min(self.FACES, key=lambda name: sum(
            (a - b) ** 2 for a, b in zip(colour, self.FACES[name])))

    def faces(self):
        return [self.face(i) for i in range(6)]

    def wait_faces(self, expected, timeout=5):
        """The faces once they equal `expected` (a list of six names), or as they are when
        the time is up: a repaint follows the input a little later."""
        deadline = time.monotonic() + timeout
        while True:
            faces = self.faces()
            if faces == expected:
                return faces
            if time.monotonic() > deadline:
                self.ran_out("the faces %r (showing %r)" % (expected, faces))
                return faces
            time.sleep(0.1)

    def over_label(self, index, action="move"):
        self.mouse(action, self.panel, 25, 24 * index + 14)

    def command(self, index):
        """A click on command button `index`: the release runs its command."""
        self.over_label(index, "click")

    def select_row(self, row):
        """A click on row `row` of the list, as a user selects a partition."""
        box = self.child(self.main, "ListBox")["handle"]
        height = int(self.driver("send", box, 0x1A1, 0, 0))  # LB_GETITEMHEIGHT
        self.mouse("click", box, 50, height * row + height // 2)

    def answer(self, button="确定", timeout=10000):
        """Waits for a message box, presses one of its buttons and returns what it said."""
        box = self.message_box(timeout)
        self.press(box["handle"], button)
        self.wait_gone_handle(box["handle"])
        return box

    def set_password(self, hex_text):
        """Types the same text, given as hex, into both boxes of the open set-password dialog
        and confirms it."""
        dialog = self.wait("更改密码")
        self.driver("settext", dialog, "index:0", hex_text)
        self.driver("settext", dialog, "index:1", hex_text)
        self.press(dialog, "确定")
        self.wait_gone_handle(dialog)

    def wait_gone_handle(self, handle, timeout=10000):
        self.waiting_driver("window %s to go" % handle, "wait-gone", handle, timeout)

    def file(self, letter, *parts):
        return self.scene.path(letter).joinpath("Recycled", "Tovik", *parts)

    def attributes(self, windows_path, bits=None):
        """A file's or folder's attribute bits as Wine reports them to programs, after setting
        them to `bits` if given."""
        extra = [] if bits is None else [bits]
        return int(self.driver("attrib", hexs(windows_path), *extra))


def _fields(out):
    values = {}
    for line in out.splitlines():
        key, _, value = line.partition("=")
        values[key] = unescape(value)
    return values


def unescape(text):
    return text.replace("\\t", "\t").replace("\\r", "\r").replace("\\n", "\n").replace(
        "\\\\", "\\")


class TovikTest(unittest.TestCase):
    """Base of the end-to-end tests: a session, and Tovik stopped after each test."""

    session = None

    @classmethod
    def setUpClass(cls):
        cls.session = Session.load()

    def setUp(self):
        self.tovik = None

    def tearDown(self):
        if self.tovik:
            if any(error for _, error in getattr(self._outcome, "errors", [])
                   if error is not None):
                shot = WORK / ("fail-%s.png" % self.id().split(".")[-1])
                self.session.screenshot(shot)
                print("screenshot: %s" % shot, file=sys.stderr)
            self.tovik.stop()

    def run_tovik(self, scene, prepare=None, **kwargs):
        """Lays out the scene, lets `prepare` put files on it, and starts the program."""
        scene.apply()
        if prepare:
            prepare(scene)
        self.tovik = Tovik(scene).start(**kwargs)
        return self.tovik


if __name__ == "__main__":
    if sys.argv[1:] == ["setup"]:
        Session.setup()
    elif sys.argv[1:] == ["teardown"]:
        Session.teardown()
    else:
        sys.exit("usage: tovik_e2e.py setup|teardown")
