"""New, Password and the password prompt: the vault tree on disk, password.dat byte for byte,
the dialogs' designs and the messages."""

import unittest

from tovik_e2e import Drive, Scene, TovikTest, make_vault

STORAGE_INI = (b"[.ShellClassInfo]\r\nIconFile=%SystemRoot%\\system32\\SHELL32.dll\r\n"
               b"IconIndex = 44\r\n")
MARKER_INI = b"[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n"
NO_PASSWORD = "此盘还没有设置密码，可在 [更改密码] 中设定。"
OPEN, CLOSE, NEW, DELETE, PASSWORD = 0, 1, 2, 3, 4
READ_ONLY, HIDDEN, SYSTEM, FOLDER = 1, 2, 4, 16


def scene(session):
    # C: counts as a network drive, so D: is the first row; E: has no \Recycled.
    return Scene(session, Drive("c", "network"), Drive("d", "hd", recycled=True),
                 Drive("e", "hd"), name="passwords")


def with_password(text_bytes):
    def prepare(the_scene):
        vault = make_vault(the_scene.path("d"))
        (vault / "Recycled" / "password.dat").write_bytes(text_bytes)
    return prepare


class PasswordTest(TovikTest):
    def client(self, window):
        left, top, right, bottom = self.tovik.rect(window, "client")
        return left, top, right - left, bottom - top

    def test_new_makes_the_vault_tree_and_then_gives_the_notice(self):
        tovik = self.run_tovik(scene(self.session))
        tovik.command(NEW)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]),
                         ("提示", NO_PASSWORD, "information"))
        root = tovik.file("d")
        self.assertEqual(sorted(p.relative_to(root).as_posix() for p in root.rglob("*")),
                         ["Recycled", "Recycled/Desktop.ini", "我的Tovik", "我的Tovik/Desktop.ini"])
        self.assertEqual((root / "我的Tovik" / "Desktop.ini").read_bytes(), STORAGE_INI)
        self.assertEqual((root / "Recycled" / "Desktop.ini").read_bytes(), MARKER_INI)
        self.assertEqual(len(STORAGE_INI), 79)
        self.assertEqual(len(MARKER_INI), 65)
        base = "D:\\Recycled\\Tovik\\"
        for path in ("我的Tovik\\Desktop.ini", "Recycled\\Desktop.ini"):
            bits = tovik.attributes(base + path)
            self.assertEqual(bits & 7, READ_ONLY | HIDDEN | SYSTEM, path)
        self.assertEqual(tovik.attributes(base + "我的Tovik") & 7, SYSTEM)
        # Wine keeps no read-only bit on folders; hidden and system are what it can show.
        self.assertEqual(tovik.attributes(base + "Recycled") & 6, HIDDEN | SYSTEM)
        self.assertEqual(tovik.attributes("D:\\Recycled\\Tovik") & 7, 0)
        rows, selected = tovik.rows()
        self.assertEqual(selected, 0)
        self.assertTrue(rows[0].endswith("  已创建 未打开"), rows)
        self.assertTrue(rows[1].endswith("  未创建"), rows)

    def test_new_password_and_open_where_there_is_no_recycled_folder_as_on_todays_windows(self):
        tovik = self.run_tovik(scene(self.session))
        tovik.select_row(1)
        tovik.command(NEW)
        self.assertEqual(tovik.answer()["text"], NO_PASSWORD)
        self.assertEqual(tovik.attributes("E:\\Recycled") & 6, HIDDEN | SYSTEM)
        # A Recycle Bin to Explorer, as the old systems made it.
        self.assertEqual((tovik.scene.path("e") / "Recycled" / "desktop.ini").read_bytes(),
                         MARKER_INI)
        self.assertEqual(tovik.attributes("E:\\Recycled\\desktop.ini") & 7, HIDDEN | SYSTEM)
        root = tovik.scene.path("e") / "Recycled" / "Tovik"
        self.assertEqual((root / "Recycled" / "Desktop.ini").read_bytes(), MARKER_INI)
        self.assertTrue(tovik.rows()[0][1].endswith("  已创建 未打开"))

        tovik.select_row(1)
        tovik.command(PASSWORD)
        tovik.set_password("616263")
        self.assertEqual((root / "Recycled" / "password.dat").read_bytes(), b"abc\r\n")

        tovik.select_row(1)
        tovik.command(OPEN)
        prompt = tovik.wait("需要密码")
        tovik.driver("settext", prompt, "index:0", "616263")
        tovik.press(prompt, "确定")
        self.assertIsNone(tovik.row_or_box(1, "  已创建 E:=> G: "))
        self.assertEqual(tovik.driver("dosdevice", "G").strip(), "\\??\\E:\\Recycled\\Tovik")

        # Deleted, the vault leaves nothing behind: the \\Recycled New made goes with it.
        tovik.select_row(1)
        tovik.command(DELETE)
        prompt = tovik.wait("需要密码")
        tovik.driver("settext", prompt, "index:0", "616263")
        tovik.press(prompt, "确定")
        tovik.answer("是(Y)")
        confirm = tovik.wait("确认删除文件夹")
        tovik.press(confirm, "是(Y)")
        self.assertIsNone(tovik.row_or_box(1, "  未创建"))
        self.assertEqual(list(tovik.scene.path("e").iterdir()), [])

    def test_setting_a_password_checks_both_entries_and_writes_the_exact_bytes(self):
        tovik = self.run_tovik(scene(self.session),
                               prepare=lambda s: make_vault(s.path("d")))
        tovik.command(PASSWORD)
        dialog = tovik.wait("更改密码")  # no password yet: no prompt first
        self.assertEqual(self.client(dialog), (184, 257, 329, 90))
        children = {c["id"]: c for c in tovik.children(dialog)}
        self.assertEqual([children[i]["text"] for i in (1101, 1102, 1105, 1106)],
                         ["确定", "取消", "新密码", "再次输入"])
        self.assertEqual(children[1103]["rect"], (64, 8, 193, 33))   # txtPass1
        self.assertEqual(children[1104]["rect"], (64, 40, 193, 65))  # txtPass2
        for box in (1103, 1104):
            self.assertEqual(tovik.driver("send", children[box]["handle"], 0xD2, 0, 0).strip(),
                             "35", "typed text shows as #")
        self.assertIn("focus_text=确定", tovik.driver("focus"))
        # Enter in a box clicks nothing here: neither button is the default.
        tovik.driver("type", dialog, "index:0", "616263")
        tovik.driver("type", dialog, "index:1", "616244")
        tovik.driver("key", "enter")
        self.assertTrue(tovik.no_message_box(1000))
        tovik.press(dialog, "确定")
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]),
                         ("错误", "两次输入不一致！请重新输入。", "information"))
        focus = tovik.driver("focus")
        self.assertIn("focus=" + children[1103]["handle"], focus)
        self.assertEqual(int(tovik.driver("send", children[1103]["handle"], 0xB0, 0, 0)),
                         3 << 16, "the whole first entry is selected")
        self.assertFalse(tovik.file("d", "Recycled", "password.dat").exists())
        # Blanks only are no password either.
        tovik.driver("settext", dialog, "index:0", "2020")
        tovik.driver("settext", dialog, "index:1", "2020")
        tovik.press(dialog, "确定")
        self.assertEqual(tovik.answer()["text"], "两次输入不一致！请重新输入。")
        tovik.driver("settext", dialog, "index:0", "616263")
        tovik.driver("settext", dialog, "index:1", "616263")
        tovik.press(dialog, "确定")
        tovik.wait_gone_handle(dialog)
        self.assertEqual(tovik.file("d", "Recycled", "password.dat").read_bytes(), b"abc\r\n")
        self.assertTrue(tovik.rows()[0][0].endswith("  已创建 未打开"))

    def test_changing_a_password_asks_for_the_current_one_first(self):
        tovik = self.run_tovik(scene(self.session), prepare=with_password(b" abc \r\nrest\r\n"))
        tovik.command(PASSWORD)
        prompt = tovik.wait("需要密码")
        self.assertEqual(self.client(prompt), (184, 250, 242, 104))
        self.assertEqual(tovik.info(prompt)["owner"], tovik.main)
        texts = {c["id"]: c["text"] for c in tovik.children(prompt)}
        self.assertEqual(texts[1003], "请输入此盘的密码(&P)：")
        self.assertIn("focus_text=确定", tovik.driver("focus"))
        # Blanks at the ends count for nothing, on either side; Enter clicks OK.
        tovik.driver("type", prompt, "index:0", "616263202020")
        tovik.driver("key", "enter")
        tovik.wait_gone_handle(prompt)
        tovik.set_password("78797a")
        self.assertEqual(tovik.file("d", "Recycled", "password.dat").read_bytes(), b"xyz\r\n")

    def test_a_wrong_password_is_refused_and_a_closed_prompt_changes_nothing(self):
        tovik = self.run_tovik(scene(self.session), prepare=with_password(b"Secret\r\n"))
        tovik.command(PASSWORD)
        prompt = tovik.wait("需要密码")
        tovik.driver("type", prompt, "index:0", "736563726574")  # "secret": case counts
        tovik.press(prompt, "确定")
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"], box["topmost"]),
                         ("密码", "密码不正确！", "exclamation", "1"))
        self.assertEqual(tovik.visible_titled("更改密码"), [])
        # Closed with its close box: a cancel, compared with nothing, reported by nothing.
        tovik.command(PASSWORD)
        prompt = tovik.wait("需要密码")
        tovik.driver("type", prompt, "index:0", "536563726574")  # the right one, not sent
        tovik.mouse("click", prompt, 232, -11)
        tovik.wait_gone_handle(prompt)
        self.assertTrue(tovik.no_message_box(1500))
        self.assertEqual(tovik.visible_titled("更改密码"), [])
        self.assertEqual(tovik.file("d", "Recycled", "password.dat").read_bytes(), b"Secret\r\n")

    def test_a_password_the_file_cannot_hold_is_refused_and_a_cut_off_save_blocks_nothing(self):
        def prepare(the_scene):
            with_password(b"old\r\n")(the_scene)
            leftover = the_scene.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat.tmp"
            leftover.write_bytes(b"half a passw")
            leftover.chmod(0o444)  # read-only to Wine

        tovik = self.run_tovik(scene(self.session), prepare=prepare)
        password = tovik.file("d", "Recycled", "password.dat")
        tovik.command(PASSWORD)
        prompt = tovik.wait("需要密码")
        tovik.driver("type", prompt, "index:0", "6f6c64")
        tovik.press(prompt, "确定")
        dialog = tovik.wait("更改密码")
        for box in ("index:0", "index:1"):
            tovik.driver("settext", dialog, box, "e5af86f09f9880")  # 密 and an emoji
        tovik.press(dialog, "确定")
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]),
                         ("错误", "密码中含有本机无法保存的字符，请换用其他字符。", "exclamation"))
        self.assertEqual(password.read_bytes(), b"old\r\n")
        for box in ("index:0", "index:1"):
            tovik.driver("settext", dialog, box, "e5af86")  # 密 alone fits code page 936
        tovik.press(dialog, "确定")
        tovik.wait_gone_handle(dialog)
        self.assertEqual(password.read_bytes(), "密\r\n".encode("gbk"))
        self.assertEqual(sorted(p.name for p in password.parent.iterdir()),
                         ["Desktop.ini", "password.dat"])

    def test_a_read_only_or_blank_password_file_still_guards_the_vault(self):
        tovik = self.run_tovik(scene(self.session), prepare=with_password(b"pw\r\n"))
        password = tovik.file("d", "Recycled", "password.dat")
        tovik.attributes("D:\\Recycled\\Tovik\\Recycled\\password.dat", READ_ONLY)
        tovik.command(OPEN)
        prompt = tovik.wait("需要密码")
        tovik.driver("type", prompt, "index:0", "7077")
        tovik.press(prompt, "确定")
        self.assertIsNone(tovik.row_or_box(0, "D:=> F: "))
        tovik.command(CLOSE)
        row = tovik.wait_rows(0, ending="  已创建 未打开", timeout=2)
        self.assertTrue(row and row.endswith("  已创建 未打开"), row)

        password.chmod(0o644)
        password.write_bytes(b"   \r\n")
        tovik.command(OPEN)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"]), ("密码", "无法读取此盘的密码文件，操作已取消。"))
        self.assertEqual(tovik.visible_titled("需要密码"), [])
        self.assertEqual(tovik.scene.subst_log()[1:], [tovik.scene.subst_path() + " F:   /d"])

    def test_new_where_only_part_of_the_vault_can_be_made_says_so(self):
        def prepare(the_scene):
            root = the_scene.path("d") / "Recycled" / "Tovik"
            root.mkdir()
            (root / "我的Tovik").write_text("a file where the storage folder goes")

        tovik = self.run_tovik(scene(self.session), prepare=prepare)
        tovik.command(NEW)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"]), ("错误", "无法在此分区上创建Tovik。"))
        root = tovik.file("d")
        self.assertEqual([p.name for p in root.iterdir()], ["我的Tovik"], "nothing half made stays")
        self.assertEqual((root / "我的Tovik").read_text(), "a file where the storage folder goes")


if __name__ == "__main__":
    unittest.main()
