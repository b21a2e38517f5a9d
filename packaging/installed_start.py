"""The installed program, started the way a desktop starts it, finds no
contact list in the user's data folder on its first start: it creates it
empty, says so and ends; the next start opens the contact list window."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from harness import E2ETestCase  # noqa: E402

CREATED = "該当の取込ファイルがありません。新規作成します。"


class InstalledStartTest(E2ETestCase):
    def test_first_start_message_then_the_list(self):
        first = self.launch()
        message = first.wait_message(timeout=30)
        self.assertEqual((message.title, message.text), ("Tessaline", CREATED))
        message.ok()
        self.assertEqual(first.wait_exit(), 0)
        # The data live in the user's own data folder.
        self.assertEqual(self.data.path,
                         os.path.join(self.session.data_home, "Tessaline", "Data"))
        self.assertEqual(self.data.names(), ["load.txt"])
        self.assertEqual(self.data.read("load.txt"), b"")

        second = self.start(timeout=30)
        second.window("Tessaline")
        second.press("終了")
        self.assertEqual(second.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
