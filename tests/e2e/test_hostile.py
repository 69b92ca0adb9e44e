"""Hostile disks, files and programs: each ends in a clear message or the usual behaviour, with
the program still running and nothing of the vault lost."""

import os
import shutil
import subprocess
import time
import unittest

from tovik_e2e import MAIN_TITLE, WINE, Drive, Scene, TovikTest, hexs, make_vault

OPEN, CLOSE, NEW, DELETE, PASSWORD = 0, 1, 2, 3, 4
CALLBACK, RIGHT_UP = 2025, 517
UNREADABLE = "无法读取此盘的密码文件，操作已取消。"
WRONG = "密码不正确！"
NO_PASSWORD = "此盘还没有设置密码，可在 [更改密码] 中设定。"


def mapping_error(letter):
    return "无法将此Tovik映射到盘符 %s:，该盘符可能已被占用。" % letter


def one_vault(*extra):
    """C: (network), D: fixed with a vault, and whatever else is asked for."""
    return (Drive("c", "network"), Drive("d", "hd", recycled=True)) + extra


class HostileTest(TovikTest):
    def start(self, drives, prepare=None, name="hostile", **kwargs):
        def lay_out(the_scene):
            if drives[1].letter == "d":
                make_vault(the_scene.path("d"))
            if prepare:
                prepare(the_scene)
        return self.run_tovik(Scene(self.session, *drives, name=name), prepare=lay_out,
                              **kwargs)

    def password_file(self, tovik):
        return tovik.file("d", "Recycled", "password.dat")

    def assert_alive(self, tovik):
        self.assertIsNone(tovik.process.poll(), "the program goes on")
        tovik.rows()

    def test_with_every_letter_in_use_open_says_so_and_runs_nothing(self):
        # D:'s reserved letter is "[", past Z, and no other is free.
        drives = [Drive(letter, "cdrom") for letter in "efghijklmnopqrstuvwxyz"]
        tovik = self.start(one_vault(Drive("a", "floppy"), Drive("b", "floppy"), *drives))
        self.assertEqual(len(tovik.rows()[0]), 1)
        tovik.command(OPEN)
        self.assertEqual(tovik.answer()["text"], NO_PASSWORD)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"]), ("错误", mapping_error("Z")))
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))
        self.assertEqual(tovik.scene.subst_log(), [])
        self.assertEqual(tovik.scene.explorer_log(), [])

    def test_a_drive_that_cannot_be_reached_is_not_listed_and_harms_nothing(self):
        def unreachable(the_scene):
            os.rmdir(the_scene.path("e"))  # E: now names a folder that is not there
        tovik = self.start(one_vault(Drive("e", "hd")), prepare=unreachable)
        rows, selected = tovik.rows()
        self.assertEqual((len(rows), selected), (1, 0))
        self.assertTrue(rows[0].startswith("D: "))

    # -- vault trees

    def test_folders_without_the_marker_are_mended_and_a_read_only_text_is_kept(self):
        def leftover(the_scene):
            marker = the_scene.path("d") / "Recycled" / "Tovik" / "Recycled" / "Desktop.ini"
            marker.unlink()
            storage = marker.parent.parent / "我的Tovik"
            (storage / "Desktop.ini").write_bytes(b"[.ShellClassInfo]\r\nold\r\n")
            (storage / "letter.txt").write_text("keep me")
        tovik = self.start(one_vault(), prepare=leftover)
        tovik.driver("attrib", hexs("D:\\Recycled\\Tovik\\我的Tovik\\Desktop.ini"), 7)
        self.assertTrue(tovik.rows()[0][0].endswith("  未创建"))
        tovik.command(NEW)
        self.assertEqual(tovik.answer()["title"], "提示")
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))
        self.assertEqual(tovik.file("d", "Recycled", "Desktop.ini").read_bytes()[:17],
                         b"[.ShellClassInfo]")
        self.assertEqual(tovik.file("d", "我的Tovik", "letter.txt").read_text(), "keep me")
        self.assertEqual(tovik.file("d", "我的Tovik", "Desktop.ini").read_bytes(),
                         b"[.ShellClassInfo]\r\nold\r\n")

    def test_the_marker_alone_is_a_vault(self):
        def marker_only(the_scene):
            root = the_scene.path("d") / "Recycled" / "Tovik"
            (root / "我的Tovik" / "Desktop.ini").unlink()
            (root / "我的Tovik").rmdir()
        tovik = self.start(one_vault(), prepare=marker_only)
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))
        tovik.command(PASSWORD)
        tovik.set_password("717765")
        self.assertEqual(self.password_file(tovik).read_bytes(), b"qwe\r\n")

    # -- password.dat

    def check_open(self, tovik, typed):
        """Open with a password typed into the prompt; the message it gave, or None when
        the vault opened. No prompt at all (typed None): the message Open gave at once."""
        tovik.command(OPEN)
        if typed is None:
            return tovik.answer()["text"]
        prompt = tovik.wait("需要密码")
        tovik.driver("settext", prompt, "index:0", typed)
        tovik.press(prompt, "确定")
        tovik.wait_gone_handle(prompt)
        box = tovik.row_or_box(0, "=> E: ")
        if box is None:
            return None
        tovik.press(box["handle"], "确定")
        tovik.wait_gone_handle(box["handle"])
        return box["text"]

    def test_odd_password_files_are_read_at_once_and_compared_safely(self):
        cases = [
            (b"", None, UNREADABLE),               # empty: a damaged file opens nothing
            (b"abc", "616263", None),              # no CR LF: the whole file is the line
            (b"a\0b\r\n", "61", WRONG),            # NUL bytes match nothing typed
            (b"\x81\xfe\x81\r\n", "61", WRONG),    # not valid in code page 936
            (b"abc\r\n" + b"x" * 100_000_000, "616263", None),  # 100 MB after the line
        ]
        for content, typed, message in cases:
            with self.subTest(content=content[:12], typed=typed):
                tovik = self.start(one_vault(), prepare=lambda s, c=content: (
                    s.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat"
                ).write_bytes(c))
                started = time.monotonic()
                if typed is None:
                    tovik.command(OPEN)
                    self.assertEqual(tovik.answer()["text"], message)
                    self.assertEqual(tovik.visible_titled("需要密码"), [])
                else:
                    self.assertEqual(self.check_open(tovik, typed), message)
                self.assertLess(time.monotonic() - started, 10)
                opened = tovik.rows()[0][0].endswith("=> E: ")
                self.assertEqual(opened, message is None)
                self.assert_alive(tovik)
                tovik.stop()

    def test_a_line_too_long_or_a_file_in_use_refuses_without_asking(self):
        tovik = self.start(one_vault(), prepare=lambda s: (
            s.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat"
        ).write_bytes(b"x" * 100_000_000))
        started = time.monotonic()
        tovik.command(OPEN)
        box = tovik.answer()
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual((box["title"], box["text"]), ("密码", UNREADABLE))
        self.assertEqual(tovik.visible_titled("需要密码"), [])
        tovik.stop()

        tovik = self.start(one_vault(), prepare=lambda s: (
            s.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat"
        ).write_bytes(b"abc\r\n"))
        self.hold(tovik, "D:\\Recycled\\Tovik\\Recycled\\password.dat")
        for command in (OPEN, DELETE, PASSWORD):
            tovik.command(command)
            self.assertEqual(tovik.answer()["text"], UNREADABLE)
            self.assertTrue(tovik.no_message_box(500))
        self.assertEqual(tovik.visible_titled("更改密码"), [])
        self.assertTrue(tovik.file("d").exists())

    def test_a_hidden_system_password_file_still_guards_the_vault(self):
        tovik = self.start(one_vault(), prepare=lambda s: (
            s.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat"
        ).write_bytes(b"abc\r\n"))
        tovik.driver("attrib", hexs("D:\\Recycled\\Tovik\\Recycled\\password.dat"), 6)
        self.assertEqual(self.check_open(tovik, "616263"), None)

    def test_a_password_of_32000_characters_is_saved_and_accepted(self):
        tovik = self.start(one_vault())
        tovik.command(PASSWORD)
        dialog = tovik.wait("更改密码")
        long_text = "repeat:32000:78"
        tovik.driver("settext", dialog, "index:0", long_text)
        tovik.driver("settext", dialog, "index:1", long_text)
        tovik.press(dialog, "确定")
        tovik.wait_gone_handle(dialog, 20000)
        self.assertEqual(self.password_file(tovik).read_bytes(), b"x" * 32000 + b"\r\n")
        self.assertIsNone(self.check_open(tovik, long_text))

    # -- subst.exe

    def wait_for_subst(self, tovik, runs=1):
        started = time.monotonic()
        while len(tovik.scene.subst_log()) < runs:
            self.assertLess(time.monotonic() - started, 20, "subst.exe never started")
            time.sleep(0.1)
        return started

    def test_a_subst_that_hangs_is_given_up_after_ten_seconds_and_freezes_nothing(self):
        tovik = self.start(one_vault())
        tovik.scene.subst_mode("hang")
        tovik.command(OPEN)
        tovik.answer()
        started = self.wait_for_subst(tovik)
        # While it hangs, the window answers at once, as Windows asks of a window that is not
        # to be shown as hung; the tray icon's right click, sent as the shell sends it, opens
        # no menu over the wait.
        tovik.driver("send", tovik.main, 0x0E, 0, 0, 1000)  # WM_GETTEXTLENGTH
        tovik.driver("notify", tovik.main, CALLBACK, 0, RIGHT_UP)
        self.assertNotEqual(tovik.driver("menu", 2000, check=False).strip()[:7], "handle=")
        box = tovik.answer(timeout=30000)
        waited = time.monotonic() - started
        self.assertEqual(box["text"], mapping_error("E"))
        self.assertGreater(waited, 8)
        self.assertLess(waited, 20)
        self.assertEqual(tovik.scene.explorer_log(), [])
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))

    def test_the_end_of_the_session_during_a_hang_ends_the_program_and_a_new_start_works(self):
        tovik = self.start(one_vault())
        tovik.scene.subst_mode("hang")
        tovik.command(OPEN)
        tovik.answer()
        self.wait_for_subst(tovik)
        self.assertIn("queryendsession=1", tovik.driver("end-session", tovik.main))
        self.assertTrue(tovik.exited(15), "the program has ended within its time limit")
        self.assertEqual(tovik.driver("dosdevice", "E", check=False).strip(), "")
        tovik.scene.subst_mode("normal")
        tovik.start()
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))

    # A run that ended by force left D:'s vault on H:; its removal hangs at this start.
    def test_a_second_start_during_the_start_up_sweep_shows_no_empty_window(self):
        def leftover(the_scene):
            self.session.wine(the_scene.subst_path(), "H:", "D:\\Recycled\\Tovik")
            the_scene.subst_mode("hang")

        tovik = self.start(one_vault(), prepare=leftover, wait=False)
        self.wait_for_subst(tovik, 2)
        second = tovik.start_second()
        second.wait(30)
        self.assertEqual(tovik.visible_titled(MAIN_TITLE), [], "shown before its list")
        tovik.answer(timeout=30000)  # H: could not be removed
        tovik.wait(MAIN_TITLE, timeout=30000)  # and then the window comes

    def test_a_letter_taken_after_start_up_gives_way_to_the_highest_free_one(self):
        tovik = self.start(one_vault())
        self.session.wine("C:\\windows\\system32\\subst.exe", "E:", "C:\\")
        self.assertEqual(tovik.driver("dosdevice", "E").strip(), "\\??\\C:\\")
        tovik.command(OPEN)
        self.assertEqual(tovik.answer()["text"], NO_PASSWORD)
        opened = tovik.rows()[0][0].split("  已创建")[0] + "  已创建 D:=> Z: "
        self.assertEqual(tovik.wait_rows(0, opened), opened)
        self.assertEqual(tovik.driver("dosdevice", "Z").strip(), "\\??\\D:\\Recycled\\Tovik")
        tovik.command(CLOSE)
        closed = opened.split("  已创建")[0] + "  已创建 未打开"
        self.assertEqual(tovik.wait_rows(0, closed), closed)
        self.assertEqual(tovik.scene.subst_log()[-1],
                         "C:\\windows\\system32\\subst.exe Z:   /d")
        self.assertEqual(tovik.driver("dosdevice", "Z", check=False).strip(), "")
        self.assertEqual(tovik.driver("dosdevice", "E").strip(), "\\??\\C:\\",
                         "the other mapping is left alone")

    # A partition that goes away while Tovik runs (a USB disk unplugged; here its letter leaves
    # the prefix) cannot say whether its vault has a password: nothing is opened.
    def test_a_partition_that_went_away_opens_nothing(self):
        tovik = self.start(one_vault(), prepare=lambda s: (
            s.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat").write_bytes(b"pw\r\n"))
        (self.session.prefix / "dosdevices" / "d:").unlink()
        tovik.command(OPEN)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"]), ("密码", UNREADABLE))
        self.assertTrue(tovik.no_message_box(1000))
        self.assertEqual(tovik.scene.subst_log(), [])
        self.assertEqual(tovik.visible_titled("需要密码"), [])

    # The disk changed behind the program's back: choosing the row asks the partition again, and
    # the row says what the buttons say.
    def test_a_vault_removed_by_hand_is_seen_when_its_row_is_chosen(self):
        tovik = self.start((Drive("c", "network"), Drive("d", "hd", size=10 ** 9, recycled=True),
                            Drive("e", "hd", size=10 ** 9)))
        before = tovik.rows()[0][0]
        self.assertTrue(before.endswith("  已创建 未打开"), before)
        shutil.rmtree(tovik.scene.path("d") / "Recycled" / "Tovik")
        tovik.select_row(1)
        tovik.select_row(0)
        removed = before.replace("  已创建 未打开", "  未创建")
        self.assertEqual(tovik.wait_rows(0, removed), removed)
        self.assertEqual(tovik.wait_faces(["disabled", "disabled", "normal", "disabled", "disabled",
                                           "normal"]), ["disabled", "disabled", "normal", "disabled",
                                                        "disabled", "normal"])

    # -- deletion

    def test_deleting_a_vault_with_a_file_in_use_keeps_that_file(self):
        def with_file(the_scene):
            storage = the_scene.path("d") / "Recycled" / "Tovik" / "我的Tovik"
            (storage / "in-use.txt").write_text("still needed")
        tovik = self.start(one_vault(), prepare=with_file)
        self.hold(tovik, "D:\\Recycled\\Tovik\\我的Tovik\\in-use.txt")
        tovik.command(DELETE)
        tovik.answer("是(Y)")
        confirm = tovik.wait("确认删除文件夹")
        tovik.press(confirm, "是(Y)")
        tovik.wait_gone_handle(confirm)
        time.sleep(1)
        self.assert_alive(tovik)
        self.assertEqual(tovik.file("d", "我的Tovik", "in-use.txt").read_text(), "still needed")
        # The list shows what the shell left; New puts a vault back around the rest.
        rows, _ = tovik.rows()
        if rows[0].endswith("  未创建"):
            tovik.command(NEW)
            tovik.answer()
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))
        self.assertEqual(tovik.file("d", "我的Tovik", "in-use.txt").read_text(), "still needed")

    def hold(self, tovik, path):
        """Another program keeps the file open, unshared, until the test ends."""
        holder = subprocess.Popen([WINE, "C:\\e2e\\driver.exe", "hold", hexs(path), "120000"],
                                  env=self.session.env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(holder.stdout.close)
        self.addCleanup(holder.wait)
        self.addCleanup(holder.kill)
        self.assertEqual(holder.stdout.readline().strip(), b"held")


if __name__ == "__main__":
    unittest.main()
