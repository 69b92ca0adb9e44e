"""Open, Close and Delete: the command lines subst.exe and Explorer get, the rows, the drive
mappings, and the vault tree on disk."""

import time
import unittest

from tovik_e2e import Drive, Scene, TovikTest, make_vault

GB = 12_345_678_901
OPEN, CLOSE, NEW, DELETE = 0, 1, 2, 3
SUBST = "C:\\windows\\system32\\subst.exe"
N, H, D = "normal", "hover", "disabled"


def scene(session):
    # Drives: C: (network, so D: is the first row), D: fixed, E: optical; D:'s spare letter is F.
    return Scene(session, Drive("c", "network"), Drive("d", "hd", size=GB, recycled=True),
                 Drive("e", "cdrom"), name="vaults")


def vault_with_files(the_scene):
    vault = make_vault(the_scene.path("d"))
    (vault / "我的Tovik" / "notes.txt").write_text("mine")
    (vault / "我的Tovik" / "photos").mkdir()
    (vault / "我的Tovik" / "photos" / "a.jpg").write_bytes(b"\xff\xd8")


class VaultTest(TovikTest):
    def start(self, prepare=vault_with_files):
        return self.run_tovik(scene(self.session), prepare=prepare)

    def open_vault(self, tovik):
        tovik.command(OPEN)
        box = tovik.answer()  # no password file: the notice, then the vault opens
        self.assertEqual(box["title"], "提示")
        self.assertEqual(tovik.wait_rows(0, "D: 剩余12.35GB  已创建 D:=> F: "),
                         "D: 剩余12.35GB  已创建 D:=> F: ")

    def test_open_maps_the_spare_letter_and_starts_explorer_close_unmaps_it(self):
        tovik = self.start()
        self.open_vault(tovik)
        self.assertEqual(tovik.scene.subst_log(), [SUBST + " F: D:\\Recycled\\Tovik"])
        self.assertEqual(tovik.scene.explorer_log(), [
            "C:\\windows\\Explorer.exe   F: \tshow=3\tflags=0x1\tpath=C:\\windows\\explorer.exe"])
        self.assertEqual(tovik.driver("dosdevice", "F").strip(), "\\??\\D:\\Recycled\\Tovik")
        # After the rebuild the released button shows the normal face, and moving on the same
        # label does not bring the hover back until the pointer has left the buttons.
        self.assertEqual(tovik.wait_faces([N, N, D, N, N, N]), [N, N, D, N, N, N])
        tovik.mouse("move", tovik.panel, 30, 12)
        self.assertEqual(tovik.wait_faces([N, N, D, N, N, N], 1), [N, N, D, N, N, N])

        # Open on an open vault says where it is and runs nothing.
        tovik.command(OPEN)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]),
                         ("Tovik", "此分区上的Tovik已经打开了，盘符是  F: ", "information"))
        self.assertEqual(len(tovik.scene.subst_log()), 1)
        self.assertEqual(len(tovik.scene.explorer_log()), 1)

        tovik.command(CLOSE)
        self.assertEqual(tovik.wait_rows(0, "D: 剩余12.35GB  已创建 未打开"),
                         "D: 剩余12.35GB  已创建 未打开")
        self.assertEqual(tovik.scene.subst_log()[1:], [SUBST + " F:   /d"])
        self.assertEqual(tovik.driver("dosdevice", "F", check=False).strip(), "")
        self.assertTrue(tovik.no_message_box(500))

    def test_remembered_network_drives_keep_their_letters(self):
        # Disconnected network drives are no devices, only keys under HKCU\Network: here at
        # D:'s reserved F: and at Z:, where the fallback looks first.
        keys = "".join('[HKEY_CURRENT_USER\\Network\\%s]\n"RemotePath"="\\\\\\\\office\\\\%s"\n'
                       % (letter, letter) for letter in "FZ")

        def prepare(the_scene):
            vault_with_files(the_scene)
            self.session.regedit(keys)

        tovik = self.start(prepare=prepare)
        self.addCleanup(self.session.regedit, "[-HKEY_CURRENT_USER\\Network]\n")
        tovik.command(OPEN)
        tovik.answer()
        self.assertEqual(tovik.wait_rows(0, "D: 剩余12.35GB  已创建 D:=> Y: "),
                         "D: 剩余12.35GB  已创建 D:=> Y: ")
        self.assertEqual(tovik.scene.subst_log(), [SUBST + " Y: D:\\Recycled\\Tovik"])

    def test_a_refused_mapping_is_reported_and_the_vault_stays_closed(self):
        tovik = self.start()
        tovik.scene.subst_mode("fail")
        tovik.command(OPEN)
        tovik.answer()  # the notice of a vault without password
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"], box["topmost"]),
                         ("错误", "无法将此Tovik映射到盘符 F:，该盘符可能已被占用。",
                          "exclamation", "1"))
        self.assertEqual(tovik.scene.explorer_log(), [])
        self.assertEqual(tovik.rows()[0], ["D: 剩余12.35GB  已创建 未打开"])

    def test_without_subst_exe_neither_mapping_nor_unmapping_can_be_done(self):
        system32 = self.session.drive_c / "windows" / "system32"
        subst = system32 / "subst.exe"
        kept = system32 / "subst.kept"
        tovik = self.start()
        self.open_vault(tovik)
        subst.rename(kept)
        try:
            tovik.command(CLOSE)
            box = tovik.answer()
            self.assertEqual((box["title"], box["text"], box["icon"], box["topmost"]),
                             ("错误", "系统文件丢失，无法关闭映射，重装系统可能解决此问题",
                              "exclamation", "1"))
            self.assertEqual(tovik.rows()[0], ["D: 剩余12.35GB  已创建 D:=> F: "])
            self.assertEqual(len(tovik.scene.subst_log()), 1)
            tovik.stop()
            tovik.driver("dosdevice", "F", check=False)

            tovik = self.start()
            tovik.command(OPEN)
            tovik.answer()
            box = tovik.answer()
            self.assertEqual((box["title"], box["text"]),
                             ("错误", "系统文件丢失，无法创建映射，重装系统可能解决此问题"))
            self.assertEqual(tovik.scene.subst_log(), [])
            self.assertEqual(tovik.scene.explorer_log(), [])
            self.assertEqual(tovik.rows()[0], ["D: 剩余12.35GB  已创建 未打开"])
        finally:
            kept.rename(subst)

    def test_delete_answered_no_leaves_everything(self):
        tovik = self.start()
        tovik.command(DELETE)
        box = tovik.message_box()
        # Enter held down since the button went on repeating into the box: the repeats answer
        # nothing. Once Tab has moved to No, the repeat before it has been handled.
        tovik.driver("post", box["handle"], 0x100, 0x0D, 0x40000001)  # WM_KEYDOWN, a repeat
        tovik.driver("post", box["handle"], 0x100, 0x09, 1)  # Tab
        deadline = time.monotonic() + 10
        while "focus_text=否(&N)" not in tovik.driver("focus"):
            self.assertLess(time.monotonic(), deadline, "Tab never reached the box")
            time.sleep(0.1)
        tovik.press(box["handle"], "否(N)")
        tovik.wait_gone_handle(box["handle"])
        self.assertEqual((box["title"], box["text"], box["icon"], box["buttons"]),
                         ("警告", "这将调用Windows系统功能永久删除相关文件,不可恢复!确定要继续吗?",
                          "question", "是(Y),否(N)"))
        self.assertTrue(tovik.no_message_box(1000))
        self.assertEqual((tovik.file("d", "我的Tovik", "notes.txt")).read_text(), "mine")
        self.assertEqual(tovik.rows()[0], ["D: 剩余12.35GB  已创建 未打开"])

    def test_delete_unmaps_an_open_vault_then_the_shell_removes_it_for_good(self):
        # The vault is made by New, so its files are read-only, hidden and system as ever.
        tovik = self.start(prepare=None)
        tovik.command(NEW)
        tovik.answer()
        (tovik.file("d", "我的Tovik") / "notes.txt").write_text("mine")
        self.open_vault(tovik)
        tovik.command(DELETE)
        tovik.answer("是(Y)")
        confirm = tovik.wait("确认删除文件夹")
        self.assertEqual(tovik.info(confirm)["owner"], tovik.main)
        self.assertEqual(tovik.scene.subst_log(), [SUBST + " F: D:\\Recycled\\Tovik",
                                                   SUBST + " F:   /d"],
                         "unmapped before the shell is asked")
        tovik.press(confirm, "是(Y)")
        self.assertEqual(tovik.wait_rows(0, "D: 剩余12.35GB  未创建"), "D: 剩余12.35GB  未创建")
        self.assertFalse(tovik.file("d").exists())
        self.assertEqual(list(tovik.scene.path("d").iterdir()), [tovik.scene.path("d") /
                                                                  "Recycled"])
        self.assertTrue(tovik.no_message_box(500))

    # 250 characters under the vault's letter are 265 under the partition, past MAX_PATH.
    def test_a_vault_with_a_path_longer_than_max_path_under_its_partition_is_deleted_whole(self):
        def deep(the_scene):
            vault_with_files(the_scene)
            folder = the_scene.path("d") / "Recycled" / "Tovik" / "我的Tovik" / ("a" * 120)
            folder.mkdir()
            name = "b" * (250 - len("F:\\我的Tovik\\") - 121 - 1 - 4) + ".txt"
            (folder / name).write_text("deep")

        tovik = self.start(prepare=deep)
        tovik.command(DELETE)
        tovik.answer("是(Y)")
        confirm = tovik.wait("确认删除文件夹")
        tovik.press(confirm, "是(Y)")
        self.assertIsNone(tovik.row_or_box(0, "  未创建"))
        self.assertFalse(tovik.file("d").exists())

    def test_the_shells_confirmation_declined_keeps_the_vault(self):
        tovik = self.start()
        tovik.command(DELETE)
        tovik.answer("是(Y)")
        confirm = tovik.wait("确认删除文件夹")
        tovik.press(confirm, "否(N)")
        tovik.wait_gone_handle(confirm)
        self.assertTrue(tovik.no_message_box(1000))
        self.assertEqual(tovik.file("d", "我的Tovik", "notes.txt").read_text(), "mine")
        self.assertEqual(tovik.rows()[0], ["D: 剩余12.35GB  已创建 未打开"])


if __name__ == "__main__":
    unittest.main()
