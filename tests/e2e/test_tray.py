"""The notification-area icon, its menu, hiding to the tray, and every way out closing the
vaults first."""

import time
import unittest

from tovik_e2e import MAIN_TITLE, Drive, Scene, TovikTest, make_vault

TIP = "免费Tovik，点击右键弹出菜单、左键显示窗口"
CALLBACK, LEFT_UP, RIGHT_UP = 2025, 514, 517
WM_SYSCOMMAND, SC_MINIMIZE = 0x112, 0xF020
SUBST = "C:\\windows\\system32\\subst.exe"
MENU = ["恢复窗体", "-", "关闭所有Tovik", "关于", "-", "退出"]
RESTORE, CLOSE_ALL, ABOUT, EXIT = 0, 2, 3, 5
OPEN = 0
GB = 1_000_000_000
UNMAP_BOTH = [SUBST + " G:   /d", SUBST + " H:   /d"]


def scene(session):
    # D: and E: hold vaults without passwords; F: is optical, so the spare letters are G and H.
    # Partitions of their own, so that their free space stays put while the machine works.
    return Scene(session, Drive("c", "network"), Drive("d", "hd", size=GB, recycled=True),
                 Drive("e", "hd", size=GB, recycled=True), Drive("f", "cdrom"), name="tray")


def two_vaults(the_scene):
    make_vault(the_scene.path("d"))
    make_vault(the_scene.path("e"))


class TrayTest(TovikTest):
    def start(self):
        return self.run_tovik(scene(self.session), prepare=two_vaults)

    def open_both(self, tovik):
        # Input while a vault is being mapped goes nowhere: each Open is let finish first.
        for row, letter in ((0, "G"), (1, "H")):
            tovik.select_row(row)
            tovik.command(OPEN)
            tovik.answer()  # no password yet
            self.assertIsNone(tovik.row_or_box(row, "=> %s: " % letter))
        self.assertEqual(len(tovik.scene.subst_log()), 2)

    def taskbar_button_shown(self, tovik):
        taskbar = next(w["handle"] for w in tovik.windows() if w["class"] == "Shell_TrayWnd")
        main_id = int(tovik.main, 16)
        return any(c["id"] == main_id and c["visible"] for c in tovik.children(taskbar))

    def open_menu(self, tovik):
        tovik.mouse("move", tovik.main, 100, 100)
        pointer = tuple(int(v) for v in tovik.driver("cursor").split())
        tovik.driver("post", tovik.main, CALLBACK, 0, RIGHT_UP)
        menu = tovik.driver("menu").splitlines()
        return pointer, menu

    def pick(self, tovik, index):
        self.open_menu(tovik)
        tovik.driver("menu-pick", index)

    def assert_ended_with_both_unmapped(self, tovik):
        self.assertTrue(tovik.exited(20), "the program has ended")
        self.assertEqual(tovik.scene.subst_log()[2:], UNMAP_BOTH)

    def test_the_icon_hides_and_brings_back_the_window(self):
        tovik = self.start()
        icons = tovik.tray_icons(timeout=10)
        self.assertEqual(len(icons), 1)
        self.assertEqual(icons[0][2:5], ["0", hex(CALLBACK), TIP])
        self.assertTrue(self.taskbar_button_shown(tovik))

        tovik.driver("post", tovik.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        tovik.driver("wait-gone", tovik.main)
        self.assertFalse(self.taskbar_button_shown(tovik))
        self.assertEqual(len(tovik.tray_icons()), 1)

        tovik.driver("post", tovik.main, CALLBACK, 0, LEFT_UP)
        tovik.wait(MAIN_TITLE)
        info = tovik.info(tovik.main)
        self.assertEqual((info["iconic"], info["foreground"]), ("0", "1"))
        self.assertIn("focus_class=ListBox", tovik.driver("focus"))
        self.assertTrue(self.taskbar_button_shown(tovik))

        # Item 0 does the same from the menu, which opens where the pointer is.
        tovik.driver("post", tovik.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        tovik.driver("wait-gone", tovik.main)
        pointer, menu = self.open_menu(tovik)
        left, top = (int(v) for v in menu[1].split("=")[1].split()[:2])
        self.assertEqual((left, top), pointer)
        self.assertEqual(menu[3:], MENU)
        tovik.driver("menu-pick", RESTORE)
        tovik.wait(MAIN_TITLE)
        self.assertEqual(tovik.info(tovik.main)["foreground"], "1")

    def test_close_all_unmaps_every_vault_and_about_shows_while_hidden(self):
        tovik = self.start()
        self.open_both(tovik)
        tovik.driver("post", tovik.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        tovik.driver("wait-gone", tovik.main)
        closed = tovik.rows()[0][1].split("  已创建")[0] + "  已创建 未打开"
        self.pick(tovik, CLOSE_ALL)
        self.assertEqual(tovik.wait_rows(1, closed), closed)
        rows, selected = tovik.rows()
        self.assertTrue(all(row.endswith("  已创建 未打开") for row in rows), rows)
        self.assertEqual(selected, 0)
        self.assertEqual(tovik.scene.subst_log()[2:], UNMAP_BOTH)

        self.pick(tovik, ABOUT)
        about = tovik.wait("关于")
        self.assertEqual(tovik.info(tovik.main)["visible"], "0")
        tovik.press(about, "确定")
        tovik.wait_gone_handle(about)
        self.assertEqual(tovik.info(tovik.main)["visible"], "0")

    def test_exit_unmaps_every_vault_and_removes_the_icon(self):
        tovik = self.start()
        self.open_both(tovik)
        self.pick(tovik, EXIT)
        self.assert_ended_with_both_unmapped(tovik)
        self.assertEqual(tovik.tray_icons(), [])

    def test_the_close_box_does_the_same(self):
        tovik = self.start()
        self.open_both(tovik)
        right = tovik.rect(tovik.main)[2] - tovik.rect(tovik.main)[0]
        tovik.mouse("click", tovik.main, right - 14, -11)
        self.assert_ended_with_both_unmapped(tovik)
        self.assertEqual(tovik.tray_icons(), [])

    def test_an_update_closing_the_program_does_the_same(self):
        tovik = self.start()
        self.open_both(tovik)
        out = tovik.driver("end-session", tovik.main, "closeapp")
        self.assertIn("queryendsession=1", out)
        self.assert_ended_with_both_unmapped(tovik)
        self.assertEqual(tovik.tray_icons(), [])

    # The letters go with the logon session: nothing is unmapped, and the program is gone
    # before the system would end it.
    def test_a_logoff_ends_the_program_at_once_and_starts_no_subst(self):
        tovik = self.start()
        self.open_both(tovik)
        self.assertIn("queryendsession=1", tovik.driver("end-session", tovik.main))
        self.assertTrue(tovik.exited(1), "ended within a second")
        self.assertEqual(len(tovik.scene.subst_log()), 2)
        self.assertEqual(tovik.tray_icons(), [])

    # With the window disabled the system keeps the mouse away, and the keys that still reach
    # the focused list are dropped: after the wait no About opens, and the selection stays
    # where the rebuilt list put it.
    def test_input_during_a_slow_unmapping_runs_nothing_then_or_after(self):
        tovik = self.start()
        self.open_both(tovik)
        tovik.scene.subst_mode("slow")
        tovik.select_row(0)
        self.pick(tovik, CLOSE_ALL)
        deadline = time.monotonic() + 20
        while len(tovik.scene.subst_log()) < 3:
            self.assertLess(time.monotonic(), deadline, "subst.exe never started")
            time.sleep(0.1)
        self.assertEqual(tovik.info(tovik.main)["enabled"], "0")
        self.assertIn("focus_class=ListBox", tovik.driver("focus"))
        tovik.driver("key", "down")
        tovik.over_label(5, "click")
        closed = tovik.rows()[0][1].split("  已创建")[0] + "  已创建 未打开"
        self.assertEqual(tovik.wait_rows(1, closed, 20), closed)
        self.assertEqual(tovik.info(tovik.main)["enabled"], "1")
        self.assertTrue(tovik.no_message_box(1000))
        self.assertEqual(tovik.visible_titled("关于"), [])
        self.assertEqual(tovik.rows()[1], 0, "the list keeps its selection")

    def test_with_a_dialog_open_the_tray_brings_it_forward_and_exit_still_unmaps(self):
        tovik = self.start()
        self.open_both(tovik)
        tovik.command(5)
        about = tovik.wait("关于")
        tovik.driver("post", tovik.main, CALLBACK, 0, LEFT_UP)
        self.assertEqual(tovik.info(about)["foreground"], "1")
        self.assertEqual(tovik.info(tovik.main)["enabled"], "0", "the main window stays blocked")
        self.pick(tovik, RESTORE)
        self.assertEqual(tovik.info(about)["foreground"], "1")
        self.pick(tovik, ABOUT)
        self.assertEqual(len(tovik.visible_titled("关于")), 1, "no second About")
        self.pick(tovik, EXIT)
        self.assert_ended_with_both_unmapped(tovik)
        self.assertEqual(tovik.tray_icons(), [])


if __name__ == "__main__":
    unittest.main()
