"""The main window as a user sees it, the command bar's faces under the pointer, and About."""

import pathlib
import re
import subprocess
import time
import unittest

from tovik_e2e import MAIN_TITLE, WORK, Drive, Scene, TovikTest, hexs, make_vault

ABOUT_TEXT = (
    "    以前试用过几款“Tovik”，感觉都不是很好,有的还要收费。求人不如求已！一鼓作气自已搞了一个。"
    "此软件纯绿色，绝不修改注册表，删除Tovik绝不遗留任何垃圾。在WIN98、ME、XP下均可正常运行。"
    "一般的菜鸟是打不开您的Tovik的！须知：强中更有强中手，没有绝对保险的！若遇到老鸟大虾之类,"
    "谁也不敢保证了...... 呜~~ 我也不保证......  \r\n  \r\n")

N, H, D = "normal", "hover", "disabled"
CAPTIONS = ["打开", "关闭", "新建", "删除", "密码", "关于"]
WS_HSCROLL = 0x00100000
WM_KEYDOWN, WM_KEYUP, VK_SPACE, VK_RETURN, VK_HOME = 0x100, 0x101, 0x20, 0x0D, 0x24
REPEAT = 0x40000001  # a key-down whose key was already down: an auto-repeat
BM_GETSTATE, BST_PUSHED = 0xF2, 0x4
RES = pathlib.Path(__file__).resolve().parents[2] / "res"


def colours(picture, box=None):
    """The colours in a picture file, or in its part `box` (width, height, left, top)."""
    crop = ["-crop", "%dx%d+%d+%d" % box] if box else []
    text = subprocess.run(["convert", str(picture)] + crop + ["-depth", "8", "txt:-"],
                          capture_output=True, check=True, text=True, timeout=60).stdout
    return {tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", line).groups())
            for line in text.splitlines()[1:]}


def scene(session, vault=False):
    # C: counts as a network drive here, so that D: is the first row and the selected one.
    return Scene(session, Drive("c", "network"), Drive("d", "hd", recycled=True),
                 name="window"), (
        (lambda s: make_vault(s.path("d"))) if vault else None)


class MainWindowTest(TovikTest):
    def start(self, vault=False):
        the_scene, prepare = scene(self.session, vault)
        return self.run_tovik(the_scene, prepare=prepare)

    def face_edges(self, tovik, dpi):
        """What the screen shows of the faces of Close (disabled) and New (normal) left of
        their captions, each with the colours of its picture, once the faces are drawn."""
        left, top, _, _ = tovik.rect(tovik.panel, "client")
        deadline = time.monotonic() + 10
        while True:
            shot = self.session.screenshot(WORK / "faces.png")
            edges = [(colours(shot, ((90 * dpi + 720) // 1440, (330 * dpi + 720) // 1440, left,
                                     top + (360 * index * dpi + 720) // 1440)),
                      colours(RES / picture))
                     for index, picture in ((1, "face_disabled.gif"), (2, "face_normal.gif"))]
            if all(len(shown) > 1 for shown, _ in edges) or time.monotonic() > deadline:
                return edges
            time.sleep(0.2)

    def test_every_control_stands_at_its_place(self):
        tovik = self.start()
        info = tovik.info(tovik.main)
        left, top, right, bottom = (int(v) for v in info["client"].split())
        self.assertEqual((right - left, bottom - top), (266, 195))
        style = int(info["style"], 16)
        self.assertTrue(style & 0x00020000, "minimise button")
        self.assertFalse(style & 0x00010000, "no maximise button")
        self.assertFalse(style & 0x00040000, "fixed border")
        children = tovik.children(tovik.main)
        self.assertEqual(sorted({c["class"] for c in children}),
                         ["Button", "ListBox", "TovikCommandPanel"], "nothing else is a window")
        self.assertEqual(tovik.child(tovik.main, "ListBox")["rect"], (64, 8, 257, 154))
        self.assertEqual(tovik.child(tovik.main, "TovikCommandPanel")["rect"], (8, 8, 58, 153))
        # Each command is a button of its own where its label lies: over its face, 50 twips
        # lower; the 30 twips between two faces belong to none.
        self.assertEqual([(c["text"], c["rect"]) for c in children if c["class"] == "Button"],
                         [(caption, (0, 24 * i + 3, 50, 24 * i + 25))
                          for i, caption in enumerate(CAPTIONS)])
        listbox = tovik.child(tovik.main, "ListBox")["handle"]
        self.assertFalse(int(tovik.info(listbox)["style"], 16) & WS_HSCROLL,
                         "a row that fits shows no horizontal scroll bar")
        # The list keeps the focus and its colours; the banner is drawn below it.
        self.assertEqual(tovik.pixel(tovik.main, 200, 120), (0, 192, 0))
        self.assertEqual(tovik.pixel(tovik.main, 3, 190), (255, 255, 255))
        banner = tovik.pixel(tovik.main, 130, 174)
        self.assertGreater(banner[1], banner[0] + 40, "the green banner lies under the credit")
        # At their own size the faces show their pictures' pixels as they are.
        for shown, picture in self.face_edges(tovik, 96):
            self.assertLessEqual(shown, picture)

    def test_the_window_keeps_its_proportions_at_120_and_144_dpi(self):
        def scaled(twips, dpi):
            return (twips * dpi + 720) // 1440

        try:
            for dpi in (120, 144):
                self.session.regedit('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n'
                                     '"LogPixels"=dword:%08x\n' % dpi)
                tovik = self.start()
                left, top, right, bottom = tovik.rect(tovik.main, "client")
                self.assertEqual((right - left, bottom - top),
                                 (scaled(3990, dpi), scaled(2925, dpi)), dpi)
                children = {c["class"]: c["rect"] for c in tovik.children(tovik.main)}
                self.assertEqual(children["ListBox"],
                                 (scaled(960, dpi), scaled(120, dpi), scaled(3855, dpi),
                                  scaled(2310, dpi)), dpi)
                self.assertEqual(children["TovikCommandPanel"],
                                 (scaled(120, dpi), scaled(120, dpi), scaled(870, dpi),
                                  scaled(2295, dpi)), dpi)
                self.assertEqual(tovik.child(tovik.main, "Button")["rect"],
                                 (0, scaled(50, dpi), scaled(750, dpi), scaled(380, dpi)), dpi)
                # Stretched by 1.25 or 1.5 the faces are smoothed: colours between their
                # pictures' appear, where doubled pixels would show none.
                for shown, picture in self.face_edges(tovik, dpi):
                    self.assertGreater(len(shown - picture), 5, dpi)
                tovik.stop()
        finally:
            self.session.regedit('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n'
                                 '"LogPixels"=dword:00000060\n')

    def test_faces_follow_the_pointer_as_the_bar_says(self):
        tovik = self.start(vault=True)  # Open, Delete, Password and About are enabled
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N]), [N, D, D, N, N, N])
        tovik.over_label(3)
        self.assertEqual(tovik.wait_faces([N, D, D, H, N, N]), [N, D, D, H, N, N])
        tovik.over_label(4)
        self.assertEqual(tovik.wait_faces([N, D, D, N, H, N]), [N, D, D, N, H, N])
        # The top rows of image 4 belong to label 3, which reaches 50 twips into it; the two
        # rows under that are covered by no label at all.
        tovik.mouse("move", tovik.panel, 25, 24 * 4 + 1)
        self.assertEqual(tovik.wait_faces([N, D, D, N, H, N], 1), [N, D, D, N, H, N])
        tovik.mouse("move", tovik.panel, 25, 24 * 4)
        self.assertEqual(tovik.wait_faces([N, D, D, H, N, N]), [N, D, D, H, N, N])
        # A disabled button takes no hover and leaves the last one shown.
        tovik.over_label(2)
        self.assertEqual(tovik.wait_faces([N, D, D, H, N, N], 1), [N, D, D, H, N, N])
        # The window background and the list take it away.
        tovik.mouse("move", tovik.main, 61, 100)
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N]), [N, D, D, N, N, N])
        tovik.over_label(0)
        self.assertEqual(tovik.wait_faces([H, D, D, N, N, N]), [H, D, D, N, N, N])
        tovik.mouse("move", tovik.main, 150, 100)
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N]), [N, D, D, N, N, N])
        # Pressing shows the normal face while held; moving on while held changes nothing.
        tovik.over_label(5)
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, H]), [N, D, D, N, N, H])
        tovik.over_label(5, "down")
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N]), [N, D, D, N, N, N])
        tovik.over_label(4)
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N], 1), [N, D, D, N, N, N])
        # Released away from the pressed label, on another one or over the list, the press
        # is given up: no command, no hover, as with every push button.
        tovik.over_label(4, "up")
        tovik.over_label(5, "down")
        tovik.mouse("up", tovik.child(tovik.main, "ListBox")["handle"], 50, 50)
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, N]), [N, D, D, N, N, N])
        time.sleep(1)  # About would have shown by now
        self.assertEqual(tovik.visible_titled("关于"), [])
        # Released on the pressed label: its hover face, then About.
        tovik.over_label(5, "down")
        tovik.over_label(5, "up")
        about = tovik.wait("关于")
        self.assertEqual(tovik.wait_faces([N, D, D, N, N, H]), [N, D, D, N, N, H])
        tovik.press(about, "确定")
        tovik.wait_gone("关于")

    def test_a_disabled_button_ignores_press_and_release(self):
        tovik = self.start()  # New and About only
        self.assertEqual(tovik.wait_faces([D, D, N, D, D, N]), [D, D, N, D, D, N])
        tovik.over_label(0, "click")
        tovik.over_label(3, "click")
        self.assertTrue(tovik.no_message_box(1000))
        self.assertEqual(tovik.faces(), [D, D, N, D, D, N])
        self.assertEqual(len([w for w in tovik.windows() if w["visible"] and w["pid"] ==
                              tovik.info(tovik.main)["pid"]]), 1)

    def test_the_keyboard_alone_opens_a_vault_and_shows_about(self):
        tovik = self.start(vault=True)
        self.assertIn("focus_class=ListBox", tovik.driver("focus"))
        tovik.driver("key", "tab")
        self.assertEqual(tovik.wait_faces([H, D, D, N, N, N]), [H, D, D, N, N, N])
        tovik.driver("key", "enter")
        box = tovik.message_box()  # no password yet
        tovik.driver("key", "enter")
        tovik.wait_gone_handle(box["handle"])
        row = tovik.wait_rows(0, ending="  已创建 D:=> E: ", timeout=3)
        self.assertTrue(row and row.endswith("  已创建 D:=> E: "), row)
        self.assertEqual(tovik.wait_faces([H, N, D, N, N, N]), [H, N, D, N, N, N])
        tovik.driver("key", "end")
        self.assertEqual(tovik.wait_faces([N, N, D, N, N, H]), [N, N, D, N, N, H])
        tovik.driver("key", "space")
        about = tovik.wait("关于")
        tovik.driver("key", "enter")
        tovik.wait_gone_handle(about)
        tovik.driver("key", "shift+tab")
        self.assertIn("focus_class=ListBox", tovik.driver("focus"))
        self.assertEqual(tovik.wait_faces([N, N, D, N, N, N]), [N, N, D, N, N, N])

    # New disables itself under the focus: the focus goes to the first command that can be
    # used, Open, and never on to Delete, whose warning has Yes for its default button.
    def test_after_new_the_keyboard_is_on_open_not_on_delete(self):
        tovik = self.start()  # New and About only
        tovik.driver("key", "tab")
        self.assertEqual(tovik.wait_faces([D, D, H, D, D, N]), [D, D, H, D, D, N])
        tovik.driver("key", "enter")
        box = tovik.message_box()
        self.assertEqual(box["title"], "提示")
        tovik.driver("key", "enter")
        tovik.wait_gone_handle(box["handle"])
        self.assertIn("focus_text=打开", tovik.driver("focus"))
        self.assertEqual(tovik.wait_faces([H, D, D, N, N, N]), [H, D, D, N, N, N])

    def test_a_screen_reader_finds_the_six_commands_and_which_are_unavailable(self):
        tovik = self.start()  # New and About only
        self.assertEqual(tovik.wait_faces([D, D, N, D, D, N]), [D, D, N, D, D, N])
        found = {o["name"]: o for o in tovik.accessible(tovik.main)}
        for caption in CAPTIONS:
            self.assertIn(caption, found)
            unavailable = bool(found[caption]["state"] & 0x1)  # STATE_SYSTEM_UNAVAILABLE
            self.assertEqual(unavailable, caption not in ("新建", "关于"), caption)

    def test_a_held_key_runs_nothing_more_and_space_runs_on_its_release(self):
        tovik = self.start()  # New and About only
        tovik.driver("key", "tab", "end")
        self.assertEqual(tovik.wait_faces([D, D, N, D, D, H]), [D, D, N, D, D, H])
        about = [c for c in tovik.children(tovik.panel) if c["text"] == "关于"][0]["handle"]
        # Repeats of Enter and Space, then Home: once the keyboard is on New, the repeats have
        # been handled, and they ran nothing.
        tovik.driver("post", about, WM_KEYDOWN, VK_RETURN, REPEAT)
        tovik.driver("post", about, WM_KEYDOWN, VK_SPACE, REPEAT)
        tovik.driver("post", about, WM_KEYDOWN, VK_HOME, 1)
        self.assertEqual(tovik.wait_faces([D, D, H, D, D, N]), [D, D, H, D, D, N])
        self.assertEqual(tovik.visible_titled("关于"), [])
        self.assertTrue(tovik.no_message_box(500), "New ran")
        # Space pushes About in on its key-down and runs it on its release.
        tovik.driver("key", "end")
        self.assertEqual(tovik.wait_faces([D, D, N, D, D, H]), [D, D, N, D, D, H])
        tovik.driver("post", about, WM_KEYDOWN, VK_SPACE, 1)
        deadline = time.monotonic() + 5
        while not int(tovik.driver("send", about, BM_GETSTATE, 0, 0)) & BST_PUSHED:
            self.assertLess(time.monotonic(), deadline, "Space did not push the button in")
            time.sleep(0.1)
        self.assertEqual(tovik.visible_titled("关于"), [])
        tovik.driver("post", about, WM_KEYUP, VK_SPACE, 0xC0000001)
        tovik.press(tovik.wait("关于"), "确定")
        tovik.wait_gone("关于")
        self.assertIn("focus_text=关于", tovik.driver("focus"), "back on the button that ran")

    def test_the_list_scrolls_sideways_as_far_as_its_widest_row(self):
        # Ten partitions, the first with 500 GB free and its vault open: its row does not fit.
        drives = [Drive("c", "network"), Drive("d", "hd", size=500 * 10 ** 9, recycled=True)]
        drives += [Drive(letter, "hd", recycled=True) for letter in "efghijklm"]
        the_scene = Scene(self.session, *drives, name="wide")
        tovik = self.run_tovik(the_scene, prepare=lambda s: make_vault(s.path("d")))
        tovik.command(0)
        tovik.answer()  # no password yet
        row = tovik.wait_rows(0, ending="  已创建 D:=> N: ", timeout=3)
        self.assertTrue(row and row.endswith("  已创建 D:=> N: "), row)
        rows, _ = tovik.rows()
        listbox = tovik.child(tovik.main, "ListBox")["handle"]
        extent = int(tovik.driver("send", listbox, 0x193, 0, 0))  # LB_GETHORIZONTALEXTENT
        widths = [int(tovik.driver("text-width", hexs("宋体"), 12, hexs(row))) for row in rows]
        self.assertGreaterEqual(extent, max(widths), rows)
        left, _, right, _ = tovik.rect(listbox, "client")
        self.assertGreater(max(widths), right - left, "the open row is wider than the list")
        self.assertTrue(int(tovik.info(listbox)["style"], 16) & WS_HSCROLL)

    def test_a_change_of_resolution_lays_the_windows_out_again_from_their_twips(self):
        def scaled(twips):
            return (twips * 144 + 720) // 1440

        tovik = self.start()
        listbox = tovik.child(tovik.main, "ListBox")["handle"]
        item_height = int(tovik.driver("send", listbox, 0x1A1, 0, 0))  # LB_GETITEMHEIGHT
        tovik.driver("dpi-changed", tovik.main, 144)
        left, top, right, bottom = tovik.rect(tovik.main, "client")
        self.assertEqual((right - left, bottom - top), (scaled(3990), scaled(2925)))
        children = {c["class"]: c["rect"] for c in tovik.children(tovik.main)}
        self.assertEqual(children["ListBox"], (scaled(960), scaled(120), scaled(3855),
                                               scaled(2310)))
        self.assertEqual(children["TovikCommandPanel"], (scaled(120), scaled(120),
                                                         scaled(870), scaled(2295)))
        self.assertEqual(tovik.child(tovik.panel, "Button")["rect"],
                         (0, scaled(50), scaled(750), scaled(380)))
        self.assertGreater(int(tovik.driver("send", listbox, 0x1A1, 0, 0)), item_height,
                           "the list's font grew with the resolution")
        colour = tovik.pixel(tovik.panel, 4, scaled(360 * 2 + 165))  # New's face, grown
        self.assertEqual(min(tovik.FACES, key=lambda name: sum(
            (a - b) ** 2 for a, b in zip(colour, tovik.FACES[name]))), N, colour)
        tovik.mouse("click", tovik.panel, 30, scaled(360 * 5 + 200))
        about = tovik.wait("关于")
        tovik.driver("dpi-changed", about, 144)
        left, top, right, bottom = tovik.rect(about, "client")
        self.assertEqual((right - left, bottom - top), (scaled(6000), scaled(2670)))
        self.assertEqual(tovik.children(about)[0]["rect"], (scaled(4440), scaled(2160),
                                                            scaled(5655), scaled(2535)))
        tovik.press(about, "确定")
        tovik.wait_gone("关于")

    def test_about_shows_its_text_and_closes_with_ok_and_with_the_close_box(self):
        tovik = self.start()
        for close in ("ok", "close box"):
            tovik.over_label(5, "click")
            about = tovik.wait("关于")
            info = tovik.info(about)
            left, top, right, bottom = (int(v) for v in info["client"].split())
            self.assertEqual((left, top, right - left, bottom - top), (184, 257, 400, 178))
            self.assertEqual(tovik.info(tovik.main)["enabled"], "0", "About is modal")
            children = tovik.children(about)
            texts = [c["text"] for c in children]
            self.assertEqual(texts[0], "确定")
            self.assertTrue(texts[1].startswith(ABOUT_TEXT), texts[1])
            credit = texts[1][len(ABOUT_TEXT):].split("\r\n")
            self.assertEqual(len(credit), 3, credit)
            self.assertTrue(all(line.startswith("  ") for line in credit[:2]), credit)
            self.assertEqual(credit[2], "")
            self.assertEqual(tovik.driver("focus").splitlines()[2], "focus_text=确定")
            self.assertEqual(tovik.pixel(about, 380, 10), (255, 255, 255))
            # Owned by the window it disables: no taskbar button of its own, and it comes
            # forward with the main window.
            self.assertEqual(info["owner"], tovik.main)
            if close == "ok":
                tovik.press(about, "确定")
            else:
                tovik.mouse("click", about, 392, -11)
            tovik.wait_gone("关于")
            self.assertEqual(tovik.info(tovik.main)["enabled"], "1")
        self.assertEqual(len(tovik.visible_titled(MAIN_TITLE)), 1)


if __name__ == "__main__":
    unittest.main()
