"""The contact editor through the real program: a row is selected in the
grid, "更新画面" opens the editor on it, the user edits the boxes and presses
"更新", "削除" or "戻る"; the grid, load.txt and cp_load.txt are checked."""

import os
import time
import unittest

import harness
from harness import E2ETestCase, contact, parse_records, record_bytes, wait_for

CAPTIONS = ["氏名", "TEL1", "MAIL1", "所属先1", "所属先2", "住所", "最寄駅", "アピール文",
            "役職", "氏名ふりがな", "TEL2", "MAIL2", "FAX", "URL", "顔写真", "地図",
            "イベント名", "日付", "場所", "コメント"]

THREE = [contact("あおき", "青木", "a"), contact("いとう", "伊藤", "i"), contact("うえだ", "上田", "u")]


class EditorTest(E2ETestCase):
    def start_with(self, records):
        self.data.write("load.txt", records)
        return self.start()

    def select_row(self, app, row):
        # A click that comes while the window is still being mapped is lost;
        # click again until the cell shows as selected.
        def clicked():
            app.click_cell(row, 1)
            time.sleep(0.2)
            # Qt makes a new accessible for a cell whose state changed.
            return app.grid_cell_accessible(row, 1).getState().contains(harness.pyatspi.STATE_SELECTED)
        wait_for(clicked, what=f"grid row {row} selected")

    def open_editor(self, app, row):
        self.select_row(app, row)
        app.press("更新画面")
        return app.window("Tessaline", "dialog")

    def wait_closed(self, app):
        app.wait_dialogs_closed("the editor to close")

    def boxes(self, app):
        return [app.text(caption) for caption in CAPTIONS]

    def names_in_grid(self, app):
        return [(row[9], row[0]) for row in app.grid_data()]

    def names_in_file(self):
        return [(r[9], r[0]) for r in self.data.records("load.txt")]

    def type_keys(self, text):
        for ch in text:
            harness.pyatspi.Registry.generateKeyboardEvent(0, ch, harness.pyatspi.KEY_STRING)
            time.sleep(0.05)

    def test_update_moves_the_contact_and_reloads_the_grid(self):
        app = self.start_with(THREE)
        self.open_editor(app, 2)
        self.assertEqual(self.boxes(app), THREE[1])

        # A click into a box selects its whole text, so typing replaces it.
        app.click(app.find("TEL1", "text"))
        wait_for(lambda: app.find("TEL1", "text").queryText().getSelection(0) == (0, len("i1")),
                 what="the whole text of TEL1 selected")
        self.type_keys("0312")
        wait_for(lambda: app.text("TEL1") == "0312", what="the typed telephone number")
        app.set_text("氏名ふりがな", "えんどう")
        app.set_text("MAIL1", "  ito@example.jp  ")
        app.press("更新")
        self.wait_closed(app)
        app.assert_no_message()

        expected = [("あおき", "青木"), ("うえだ", "上田"), ("えんどう", "伊藤")]
        self.assertEqual(self.names_in_grid(app), expected)
        self.assertEqual(app.grid_checks(), ["OFF"] * 3)
        self.assertEqual(self.names_in_file(), expected)
        saved = self.data.records("load.txt")[2]
        self.assertEqual(saved[1], "0312")
        self.assertEqual(saved[2], "ito@example.jp")
        self.assertEqual(saved[19], "i19")
        self.assertEqual(self.data.names(), ["load.txt"])

    def test_checks_refuse_and_code_page_932_twins_are_kept(self):
        before = record_bytes(THREE)
        app = self.start_with(THREE)
        self.open_editor(app, 1)
        cases = [
            ("氏名", "\u3000", "氏名を入力して下さい"),
            ("氏名", "名" * 12, "氏名の入力文字数を減らして下さい"),
            ("氏名", "青木〜", None),  # 〜 U+301C, as the input method types it
            ("所属先1", "会社\U0001F600", "所属先1に保存できない文字が含まれています"),
            ("所属先1", "会社", None),
            ("氏名ふりがな", " ", "氏名ふりがなを入力して下さい"),
            ("氏名ふりがな", "あおき", None),
        ]
        for caption, value, message in cases:
            app.set_text(caption, value)
            if message is None:
                continue
            app.press("更新")
            self.assertEqual(app.expect_message().text, message)
            self.assertEqual(self.data.read("load.txt"), before)
            self.assertEqual(self.data.names(), ["load.txt"])

        app.press("更新")
        self.wait_closed(app)
        self.assertTrue(self.data.read("load.txt").startswith("青木".encode("cp932") + b"\x81\x60\r\n"))
        self.assertEqual(app.grid_cell(1, 1), "青木\uff5e")
        self.assertEqual(app.grid_cell(1, 4), "会社")

    def test_back_writes_nothing(self):
        before = record_bytes(THREE)
        app = self.start_with(THREE)
        self.open_editor(app, 3)
        self.assertEqual(app.text("氏名"), "上田")
        app.set_text("氏名", "別人")
        app.press("戻る")
        self.wait_closed(app)
        self.assertEqual(self.data.read("load.txt"), before)
        self.assertEqual(self.data.names(), ["load.txt"])
        self.assertEqual(app.grid_cell(3, 1), "上田")

    def test_delete_down_to_an_empty_list(self):
        app = self.start_with([contact("あおき", "青木", "a"), contact("いとう", "伊藤", "i")])
        self.open_editor(app, 1)
        app.set_text("氏名", "別人")  # the contact as opened is deleted
        app.press("削除")
        self.wait_closed(app)
        app.assert_no_message()
        self.assertEqual(self.names_in_grid(app), [("いとう", "伊藤")])
        self.assertEqual(self.names_in_file(), [("いとう", "伊藤")])

        self.open_editor(app, 1)
        app.press("削除")
        self.wait_closed(app)
        self.assertEqual(self.data.read("load.txt"), b"")
        self.assertEqual(app.grid_rows(), 1)
        self.assertEqual(self.data.names(), ["load.txt"])

        app.press("更新画面")
        self.assertEqual(app.expect_message().text, "更新できるデータがありません")
        self.assertFalse(any(role == "dialog" for role, _, _ in app.windows()))

    def test_list_file_removed_while_the_editor_is_open(self):
        app = self.start_with(THREE)
        for button, routine in (("更新", "CmdUpdate2_Click"), ("削除", "CmdDelete2_Click")):
            self.open_editor(app, 2)
            os.remove(self.data.file("load.txt"))
            app.press(button)
            message = app.expect_message()
            self.assertEqual(message.title, "プログラムエラー")
            self.assertIn(routine, message.text)
            self.assertIn("Form2", message.text)
            for caption in ("更新", "削除"):
                self.assertFalse(app.enabled(caption, "push button"), caption)
            self.assertFalse(harness.is_enabled(app.find("氏名", "text")))
            self.assertTrue(app.enabled("戻る", "push button"))
            self.assertEqual(self.data.names(), [])
            app.press("戻る")
            self.wait_closed(app)
            self.data.write("load.txt", THREE)


if __name__ == "__main__":
    unittest.main()
