"""The i686 Tovik.exe, the one users get, under 32-bit Wine: start-up, New, a password, Open
and Close, the tray and 退出. CTest runs this module in a 64-bit prefix, where the program
runs as on 64-bit Windows, and in a 32-bit one; the other modules run the x86_64 build."""

import time
import unittest

import test_passwords
import test_tray
import test_vaults
from tovik_e2e import ARCH, MAIN_TITLE, SUBST_FOLDER, TovikTest, hexs

OPEN, CLOSE, NEW, PASSWORD = 0, 1, 2, 4
SUBST = test_vaults.SUBST  # what the program runs; a 32-bit one on 64-bit Windows gets syswow64's
ROW = "D: 剩余12.35GB  "
MAPPED = ROW + "已创建 D:=> F: "
CLOSED = ROW + "已创建 未打开"
WM_SYSCOMMAND, SC_MINIMIZE = 0x112, 0xF020


def explorer_log(scene, timeout=10):
    """The stand-in Explorer's log once it has a line: the program does not wait for
    Explorer, and an emulated one takes a while to start."""
    deadline = time.monotonic() + timeout
    while not scene.explorer_log() and time.monotonic() < deadline:
        time.sleep(0.1)
    return scene.explorer_log()


class I686Test(TovikTest):
    def setUp(self):
        super().setUp()
        self.assertEqual(ARCH, "i686", "this module runs the i686 build")

    def start(self, prepare=None):
        # C: is a network drive, D: a 12.35 GB partition with \Recycled, E: optical: one row.
        return self.run_tovik(test_vaults.scene(self.session), prepare=prepare)

    def open_with_password(self, tovik, typed):
        tovik.command(OPEN)
        prompt = tovik.wait("需要密码")
        tovik.driver("type", prompt, "index:0", hexs(typed))
        tovik.driver("key", "enter")
        tovik.wait_gone_handle(prompt)

    def test_new_and_a_password_write_the_vault_as_the_x86_64_build_does(self):
        tovik = self.start()
        self.assertEqual(tovik.rows(), ([ROW + "未创建"], 0))
        tovik.command(NEW)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]),
                         ("提示", test_passwords.NO_PASSWORD, "information"))
        self.assertEqual(tovik.file("d", "我的Tovik", "Desktop.ini").read_bytes(),
                         test_passwords.STORAGE_INI)
        self.assertEqual(tovik.file("d", "Recycled", "Desktop.ini").read_bytes(),
                         test_passwords.MARKER_INI)
        self.assertEqual(tovik.attributes("D:\\Recycled\\Tovik\\Recycled\\Desktop.ini") & 7, 7)
        self.assertEqual(tovik.rows()[0], [CLOSED])

        tovik.command(PASSWORD)
        dialog = tovik.wait("更改密码")
        left, top, right, bottom = tovik.rect(dialog, "client")
        self.assertEqual((left, top, right - left, bottom - top), (184, 257, 329, 90))
        tovik.driver("type", dialog, "index:0", "616263")
        tovik.driver("type", dialog, "index:1", "616244")
        tovik.press(dialog, "确定")
        self.assertEqual(tovik.answer()["text"], "两次输入不一致！请重新输入。")
        tovik.driver("settext", dialog, "index:0", "616263")
        tovik.driver("settext", dialog, "index:1", "616263")
        tovik.press(dialog, "确定")
        tovik.wait_gone_handle(dialog)
        self.assertEqual(tovik.file("d", "Recycled", "password.dat").read_bytes(), b"abc\r\n")

    def test_open_with_the_password_maps_the_vault_and_close_unmaps_it(self):
        tovik = self.start(test_passwords.with_password(b"Secret\r\n"))
        self.open_with_password(tovik, "secret")  # case counts
        box = tovik.answer()
        self.assertEqual((box["text"], box["icon"]), ("密码不正确！", "exclamation"))
        self.assertEqual(tovik.scene.subst_log(), [])

        self.open_with_password(tovik, "Secret")
        self.assertEqual(tovik.wait_rows(0, MAPPED), MAPPED)
        self.assertEqual(tovik.scene.subst_log(), [SUBST + " F: D:\\Recycled\\Tovik"])
        self.assertEqual(explorer_log(tovik.scene), [
            "C:\\windows\\Explorer.exe   F: \tshow=3\tflags=0x1\tpath=C:\\windows\\explorer.exe"])
        self.assertEqual(tovik.driver("dosdevice", "F").strip(), "\\??\\D:\\Recycled\\Tovik")
        self.assertTrue(tovik.no_message_box(500))

        tovik.command(CLOSE)
        self.assertEqual(tovik.wait_rows(0, CLOSED), CLOSED)
        self.assertEqual(tovik.scene.subst_log()[1:], [SUBST + " F:   /d"])
        self.assertEqual(tovik.driver("dosdevice", "F", check=False).strip(), "")

    @unittest.skipUnless(SUBST_FOLDER == "syswow64", "a 64-bit prefix only")
    def test_on_64_bit_windows_subst_exe_is_the_one_in_syswow64(self):
        # Its system32 keeps a 64-bit subst.exe, which the program never sees.
        subst = self.session.drive_c / "windows" / "syswow64" / "subst.exe"
        kept = subst.with_suffix(".kept")
        tovik = self.start(test_passwords.with_password(b"Secret\r\n"))
        subst.rename(kept)
        try:
            self.open_with_password(tovik, "Secret")
            box = tovik.answer()
            self.assertEqual((box["title"], box["text"]),
                             ("错误", "系统文件丢失，无法创建映射，重装系统可能解决此问题"))
            self.assertEqual(tovik.scene.subst_log(), [])
        finally:
            kept.rename(subst)

    def test_the_tray_icon_and_menu_and_exit_unmapping_every_vault(self):
        tovik = self.run_tovik(test_tray.scene(self.session), prepare=test_tray.two_vaults)
        tray = test_tray.TrayTest
        icons = tovik.tray_icons(timeout=10)
        self.assertEqual([icon[2:5] for icon in icons],
                         [["0", hex(test_tray.CALLBACK), test_tray.TIP]])

        tovik.driver("post", tovik.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
        tovik.driver("wait-gone", tovik.main)
        self.assertFalse(tray.taskbar_button_shown(self, tovik))
        tovik.driver("post", tovik.main, test_tray.CALLBACK, 0, test_tray.LEFT_UP)
        tovik.wait(MAIN_TITLE)
        self.assertEqual(tovik.info(tovik.main)["foreground"], "1")

        tray.open_both(self, tovik)
        _, menu = tray.open_menu(self, tovik)
        self.assertEqual(menu[3:], test_tray.MENU)
        tovik.driver("menu-pick", test_tray.EXIT)
        self.assertTrue(tovik.exited(30), "the program has ended")
        self.assertEqual(tovik.scene.subst_log()[2:], test_tray.UNMAP_BOTH)
        self.assertEqual(tovik.tray_icons(), [])


if __name__ == "__main__":
    unittest.main()
