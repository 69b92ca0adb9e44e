"""The main window as a user sees it, the command bar's faces under the pointer, and About."""

import time
import unittest

from tovik_e2e import MAIN_TITLE, Drive, Scene, TovikTest, make_vault

ABOUT_TEXT = (
    "    以前试用过几款“Tovik”，感觉都不是很好,有的还要收费。求人不如求已！一鼓作气自已搞了一个。"
    "此软件纯绿色，绝不修改注册表，删除Tovik绝不遗留任何垃圾。在WIN98、ME、XP下均可正常运行。"
    "一般的菜鸟是打不开您的Tovik的！须知：强中更有强中手，没有绝对保险的！若遇到老鸟大虾之类,"
    "谁也不敢保证了...... 呜~~ 我也不保证......  \r\n  \r\n")

N, H, D = "normal", "hover", "disabled"


def scene(session, vault=False):
    # C: counts as a network drive here, so that D: is the first row and the selected one.
    return Scene(session, Drive("c", "network"), Drive("d", "hd", recycled=True),
                 name="window"), (
        (lambda s: make_vault(s.path("d"))) if vault else None)


class MainWindowTest(TovikTest):
    def start(self, vault=False):
        the_scene, prepare = scene(self.session, vault)
        return self.run_tovik(the_scene, prepare=prepare)

    def test_every_control_stands_at_its_place(self):
        tovik = self.start()
        info = tovik.info(tovik.main)
        left, top, right, bottom = (int(v) for v in info["client"].split())
        self.assertEqual((right - left, bottom - top), (266, 195))
        style = int(info["style"], 16)
        self.assertTrue(style & 0x00020000, "minimise button")
        self.assertFalse(style & 0x00010000, "no maximise button")
        self.assertFalse(style & 0x00040000, "fixed border")
        children = {c["class"]: c for c in tovik.children(tovik.main)}
        self.assertEqual(children["ListBox"]["rect"], (64, 8, 257, 154))
        self.assertEqual(children["TovikCommandPanel"]["rect"], (8, 8, 58, 153))
        self.assertEqual(len(children), 2, "nothing else is a window of its own")
        # The list keeps the focus and its colours; the banner is drawn below it.
        self.assertEqual(tovik.pixel(tovik.main, 200, 120), (0, 192, 0))
        self.assertEqual(tovik.pixel(tovik.main, 3, 190), (255, 255, 255))
        banner = tovik.pixel(tovik.main, 130, 174)
        self.assertGreater(banner[1], banner[0] + 40, "the green banner lies under the credit")

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
        self.assertTrue(tovik.wait_rows(0, "D: x", 3).endswith("  已创建 D:=> E: "))
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
