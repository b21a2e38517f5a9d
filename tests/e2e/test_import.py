"""The import of received contacts, through the real program: a getData file
placed in the data folder, the button "データ取込" pressed, then the grid and
the files of the data folder checked."""

import unittest

from harness import E2ETestCase, contact, record_bytes, wait_for

TOO_MANY = "１００００件超えてしまいます。"


class ImportTest(E2ETestCase):
    def numbered(self, first, count, tag):
        return [contact(f"よみ{n:06d}", f"名前 {n}", tag) for n in range(first, first + count)]

    def test_received_contacts_are_merged_into_the_list(self):
        listed = [contact("あおき", "青木", "L"), contact("やまだ", "山田\u3000太郎", "L")]
        received = [contact("いとう", "伊藤", "R"), contact("やまだ", "山田 太郎", "R")]
        self.data.write("load.txt", listed)
        app = self.start()
        self.data.write("getData", received)

        app.press("データ取込")

        # getData goes last, once the new list is in the grid.
        wait_for(lambda: self.data.names() == ["load.txt"], what="getData and cp_load.txt to go")
        merged = [listed[0], received[0], received[1]]
        self.assertEqual(app.grid_rows(), 4)
        self.assertEqual(app.grid_data(), merged)
        self.assertEqual(app.grid_checks(), ["OFF"] * 3)
        app.assert_no_message()
        self.assertEqual(self.data.read("load.txt"), record_bytes(merged))
        self.assertEqual(self.data.names(), ["load.txt"])
        self.assertTrue(app.enabled("データ取込"))

    def test_an_import_past_the_limit_is_refused_and_keeps_getdata(self):
        listed = self.numbered(0, 10000, "L")
        self.data.write("load.txt", listed)
        received = record_bytes([contact("ん", "x", "R")])
        app = self.start(timeout=60)
        self.data.write("getData", received)

        app.press("データ取込")

        message = app.expect_message(timeout=60)
        self.assertEqual(message.text, TOO_MANY)
        # The list is reloaded and the backup deleted once the message is closed.
        wait_for(lambda: self.data.names() == ["getData", "load.txt"], 60, "cp_load.txt to go")
        self.assertEqual(app.grid_rows(), 10001)
        self.assertEqual(self.data.read("load.txt"), record_bytes(listed))
        self.assertEqual(self.data.read("getData"), received)

    def test_without_getdata_the_list_is_reloaded_and_the_backup_stays(self):
        listed = [contact("あ", "阿", "L")]
        self.data.write("load.txt", listed)
        app = self.start()

        app.press("データ取込")

        message = app.expect_message()
        self.assertEqual(message.text, "該当の取込ファイルがありません(PsImpPass)")
        self.assertEqual(app.grid_data(), listed)
        self.assertEqual(self.data.read("cp_load.txt"), record_bytes(listed))
        self.assertEqual(self.data.read("load.txt"), record_bytes(listed))

    def test_a_record_cut_short_is_reported_and_changes_nothing(self):
        listed = [contact("あ", "阿", "L")]
        self.data.write("load.txt", listed)
        app = self.start()
        short = record_bytes([contact("い", "伊", "R")]).rsplit(b"\r\n", 2)[0] + b"\r\n"
        self.data.write("getData", short)

        app.press("データ取込")

        message = app.expect_message()
        self.assertEqual(message.title, "プログラムエラー")
        self.assertIn("Pf_GuWork_Set", message.text)
        # The window locks once the report is closed.
        wait_for(lambda: not app.enabled("データ取込"), what="the window to lock")
        self.assertEqual(app.grid_rows(), 1)
        self.assertTrue(app.enabled("終了"))
        self.assertEqual(self.data.read("load.txt"), record_bytes(listed))
        self.assertEqual(self.data.read("cp_load.txt"), record_bytes(listed))
        self.assertEqual(self.data.read("getData"), short)


if __name__ == "__main__":
    unittest.main()
