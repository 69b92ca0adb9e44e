"""A vault is shown closed only when its letter is gone: unmappings that fail, letters unmapped
behind the program's back, mappings left by a run that was ended by force, and the Explorer
the program starts."""

import shutil
import unittest

from test_vaults import SUBST, scene, vault_with_files
from tovik_e2e import TOOLS, TovikTest

# test_vaults' scene: C: network, D: fixed with a vault, E: optical; D:'s spare letter is F.
OPEN, CLOSE, DELETE = 0, 1, 3
OPEN_ROW = "D: 剩余12.35GB  已创建 D:=> F: "
CLOSED_ROW = "D: 剩余12.35GB  已创建 未打开"
VAULT_ROOT = "\\??\\D:\\Recycled\\Tovik"
STILL_OPEN = "无法取消盘符 F: 的映射，此Tovik仍处于打开状态。"
CALLBACK, RIGHT_UP, EXIT = 2025, 517, 5


class ClosingTest(TovikTest):
    def start(self, **kwargs):
        return self.run_tovik(scene(self.session), prepare=vault_with_files, **kwargs)

    # The program gives subst.exe 10 s; the wait gives it more, and a box that shows instead (a
    # mapping that failed) ends it at once, with what the program showed.
    def open_vault(self, tovik):
        tovik.command(OPEN)
        tovik.answer()  # no password yet
        self.assertIsNone(tovik.row_or_box(0, OPEN_ROW.split("  已创建")[1], 20))

    def mapped(self, tovik, letter="F"):
        return tovik.driver("dosdevice", letter, check=False).strip()

    def test_an_unmapping_that_fails_keeps_the_vault_open_bars_delete_and_is_named_at_exit(self):
        tovik = self.start()
        self.open_vault(tovik)
        tovik.scene.subst_mode("fail-unmap")

        tovik.command(CLOSE)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"], box["icon"]), ("错误", STILL_OPEN, "exclamation"))
        self.assertEqual(tovik.wait_rows(0, OPEN_ROW), OPEN_ROW)
        self.assertEqual(self.mapped(tovik), VAULT_ROOT)

        tovik.command(DELETE)
        tovik.answer("是(Y)")  # the warning
        self.assertEqual(tovik.answer()["text"], STILL_OPEN)
        self.assertTrue(tovik.no_message_box(1000), "the shell was never asked")
        self.assertEqual(tovik.file("d", "我的Tovik", "notes.txt").read_text(), "mine")

        tovik.driver("post", tovik.main, CALLBACK, 0, RIGHT_UP)
        tovik.driver("menu")
        tovik.driver("menu-pick", EXIT)
        box = tovik.answer()
        self.assertEqual((box["title"], box["text"]),
                         ("错误", "以下盘符的映射未能取消：F:。这些Tovik在注销前仍可访问。"))
        self.assertTrue(tovik.exited(20), "the program ends all the same")

    def test_a_letter_unmapped_by_someone_else_closes_quietly(self):
        tovik = self.start()
        self.open_vault(tovik)
        self.session.wine(SUBST, "F:", "/d")
        self.assertEqual(self.mapped(tovik), "")
        tovik.command(CLOSE)
        self.assertEqual(tovik.wait_rows(0, CLOSED_ROW), CLOSED_ROW)
        self.assertTrue(tovik.no_message_box(1000))

    # Removed from outside, the letter no longer shows the vault open: Open maps it again, after
    # its password.
    def test_a_letter_removed_from_outside_lets_open_map_the_vault_again(self):
        def with_password(the_scene):
            vault_with_files(the_scene)
            (the_scene.path("d") / "Recycled" / "Tovik" / "Recycled" / "password.dat").write_bytes(
                b"pw\r\n")

        tovik = self.run_tovik(scene(self.session), prepare=with_password)
        tovik.command(OPEN)
        tovik.driver("settext", tovik.wait("需要密码"), "index:0", "7077")
        tovik.press(tovik.wait("需要密码"), "确定")
        self.assertIsNone(tovik.row_or_box(0, OPEN_ROW.split("  已创建")[1], 20))
        self.session.wine(SUBST, "F:", "/d")
        tovik.command(OPEN)
        prompt = tovik.wait("需要密码")
        tovik.driver("settext", prompt, "index:0", "7077")
        tovik.press(prompt, "确定")
        self.assertIsNone(tovik.row_or_box(0, OPEN_ROW.split("  已创建")[1], 20))
        self.assertEqual(self.mapped(tovik), VAULT_ROOT)
        self.assertEqual(tovik.scene.subst_log()[-1], SUBST + " F: D:\\Recycled\\Tovik")

    def test_a_run_ended_by_force_leaves_nothing_mapped_for_the_next(self):
        def prepare(the_scene):
            vault_with_files(the_scene)
            (self.session.drive_c / "work").mkdir(exist_ok=True)
            self.session.wine(SUBST, "B:", "C:\\work")  # the user's own mapping

        tovik = self.run_tovik(scene(self.session), prepare=prepare)
        # A program called Explorer.exe beside Tovik.exe, as on a USB stick, must never run.
        shutil.copyfile(TOOLS / "explorer.exe", tovik.folder / "explorer.exe")
        self.open_vault(tovik)
        tovik.process.kill()
        tovik.process.wait(30)
        self.assertEqual(self.mapped(tovik), VAULT_ROOT, "the forced end left F: mapped")

        log = tovik.scene.subst_log()
        tovik.start()
        self.assertEqual(tovik.scene.subst_log()[len(log):], [SUBST + " F:   /d"])
        self.assertEqual(self.mapped(tovik), "", "gone before the window showed")
        self.assertEqual(self.mapped(tovik, "B"), "\\??\\C:\\work")
        self.assertEqual(tovik.rows()[0], [CLOSED_ROW])
        self.open_vault(tovik)
        self.assertEqual(self.mapped(tovik), VAULT_ROOT)
        for line in tovik.scene.explorer_log():
            self.assertEqual(line.split("\t")[0], "C:\\windows\\Explorer.exe   F: ")
            self.assertEqual(line.split("\t")[-1].lower(), "path=c:\\windows\\explorer.exe")
        self.assertEqual(len(tovik.scene.explorer_log()), 2)


if __name__ == "__main__":
    unittest.main()
