"""Start-up: the partition list under Wine, and a single running copy."""

import time
import unittest

from tovik_e2e import (MAIN_TITLE, Drive, Scene, Tovik, TovikTest, free_space_texts,
                       make_vault)

GB = 12_345_678_901  # the free space of the tmpfs behind D:, about 12.35 GB


class StartupTest(TovikTest):
    def standard_scene(self):
        return Scene(self.session, Drive("d", "hd", size=GB, recycled=True),
                     Drive("e", "cdrom"), name="standard")

    def test_fixed_partitions_are_listed_with_free_space_and_vault_state(self):
        scene = self.standard_scene()
        tovik = self.run_tovik(scene)
        rows, selected = tovik.rows()
        self.assertEqual(len(rows), 2, rows)
        self.assertEqual(selected, 0)
        self.assertEqual(rows[0], "C:" + free_space_texts(scene.path("c")) + "  未创建")
        self.assertEqual(rows[1], "D:" + free_space_texts(scene.path("d")) + "  未创建")
        self.assertEqual(rows[1], "D: 剩余12.35GB  未创建")
        # Wine gives every program full rights in one logon session (and no shell window): the
        # program starts as itself, without a box and without starting another copy.
        self.assertTrue(tovik.no_message_box(500))
        self.assertIsNone(tovik.process.poll(), "the copy started must be the one that runs")

    def test_a_vault_laid_out_by_hand_shows_as_created_and_not_open(self):
        tovik = self.run_tovik(self.standard_scene(),
                               prepare=lambda scene: make_vault(scene.path("d")))
        rows, _ = tovik.rows()
        self.assertEqual(rows[1], "D: 剩余12.35GB  已创建 未打开")

    def test_a_second_start_brings_the_first_copy_forward_and_ends(self):
        tovik = self.run_tovik(self.standard_scene())
        self.assertTrue(tovik.tray_icons(timeout=10))
        tovik.driver("post", tovik.main, 0x0112, 0xF020, 0)  # minimised: hidden in the tray
        tovik.driver("wait-gone", tovik.main)
        second = tovik.start_second()
        second.wait(20)
        self.assertEqual(second.returncode, 0)
        tovik.wait(MAIN_TITLE)
        info = tovik.info(tovik.main)
        self.assertEqual((info["visible"], info["iconic"], info["foreground"]), ("1", "0", "1"))
        self.assertEqual(len([w for w in tovik.windows() if w["title"] == MAIN_TITLE]), 1)
        self.assertIsNone(tovik.process.poll(), "the first copy must go on running")

    def test_a_maximised_shortcut_or_a_maximise_from_outside_leaves_the_normal_window(self):
        scene = self.standard_scene().apply()
        self.tovik = tovik = Tovik(scene).start(show="/max")
        for maximise in (False, True):
            if maximise:
                tovik.driver("show", tovik.main, 3)  # SW_MAXIMIZE, as another program may
            info = tovik.info(tovik.main)
            self.assertEqual((info["zoomed"], info["iconic"]), ("0", "0"))
            left, top, right, bottom = (int(v) for v in info["client"].split())
            self.assertEqual((right - left, bottom - top), (266, 195))

    def test_a_minimised_shortcut_starts_in_the_tray_and_the_icon_brings_the_window(self):
        scene = self.standard_scene().apply()
        self.tovik = tovik = Tovik(scene).start(show="/min", wait=False)
        handle = None
        for _ in range(300):
            handle = next((w["handle"] for w in tovik.windows() if w["title"] == MAIN_TITLE),
                          None)
            if handle and handle in tovik.driver("tray"):
                break
            time.sleep(0.1)
        tovik.main = handle
        tovik.driver("post", handle, 2025, 0, 514)  # the icon's left click
        tovik.wait(MAIN_TITLE)
        info = tovik.info(handle)
        self.assertEqual((info["visible"], info["zoomed"], info["iconic"]), ("1", "0", "0"))

    def test_only_optical_and_network_drives_give_an_empty_list(self):
        scene = Scene(self.session, Drive("c", "network"), Drive("e", "cdrom"),
                      Drive("n", "network"), name="no-fixed")
        tovik = self.run_tovik(scene)
        rows, selected = tovik.rows()
        self.assertEqual(rows, [])
        self.assertEqual(selected, -1)


if __name__ == "__main__":
    unittest.main()
