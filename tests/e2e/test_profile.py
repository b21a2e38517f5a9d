"""The own-profile window through the real program: "本人画面" opens it, the
user types, saves, reopens, blanks and imports, and the profile file in the
data folder is checked after each step."""

import unittest

import harness
from harness import E2ETestCase, contact, parse_records, record_bytes, wait_for

CREATED = "該当の取込ファイルがありません。新規作成します。"
BLANK_PROFILE = b" \r\n" * 16
CAPTIONS = ["氏名", "TEL1", "MAIL1", "所属先1", "所属先2", "住所", "最寄駅", "アピール文",
            "役職", "氏名ふりがな", "TEL2", "MAIL2", "FAX", "URL", "顔写真", "地図"]


def profile(tag):
    return [f"{tag}{i}" for i in range(16)]


class ProfileTest(E2ETestCase):
    def start_list(self):
        self.data.write("load.txt", [contact("あおき", "青木", "L")])
        return self.start()

    def open_profile(self, app):
        app.press("本人画面")
        return app.window("Tessaline", "dialog")

    def wait_closed(self, app):
        app.wait_dialogs_closed("the profile window to close")

    def boxes(self, app):
        return [app.text(caption) for caption in CAPTIONS]

    def test_first_opening_type_save_and_reopen(self):
        app = self.start_list()
        app.press("本人画面")
        self.assertEqual(app.expect_message().text, CREATED)
        app.window("Tessaline", "dialog")
        self.assertEqual(self.data.read("myload.txt"), BLANK_PROFILE)
        self.assertEqual(self.data.mode("myload.txt"), 0o600)
        self.assertEqual(self.boxes(app), [""] * 16)

        app.set_text("氏名", " 山田\u3000太郎 ")
        app.set_text("氏名ふりがな", "やまだ\u3000たろう")
        app.set_text("住所", "東京都\u3000港区")
        app.set_text("TEL1", "03-1234-5678")
        app.set_text("最寄駅", "品川〜")  # typed in its JIS form by the input method
        app.press("更新")
        self.wait_closed(app)

        saved = [" "] * 16
        saved[0], saved[9], saved[5] = "山田 太郎", "やまだ たろう", "東京都\u3000港区"
        saved[1], saved[6] = "03-1234-5678", "品川～"
        self.assertEqual(parse_records(self.data.read("myload.txt"), 16), [saved])
        self.assertTrue(app.enabled("本人画面"))

        self.open_profile(app)
        app.assert_no_message()
        self.assertEqual(self.boxes(app), [value.strip() for value in saved])
        app.press("戻る")
        self.wait_closed(app)
        self.assertEqual(parse_records(self.data.read("myload.txt"), 16), [saved])

    def test_checks_refuse_the_save_and_keep_the_file(self):
        before = record_bytes([profile("p")])
        self.data.write("myload.txt", before)
        app = self.start_list()
        self.open_profile(app)
        cases = [
            ("氏名", "\u3000", "氏名を入力して下さい"),
            ("氏名", "名" * 12, "氏名の入力文字数を減らして下さい"),
            ("氏名", "山田", None),
            ("アピール文", "a" * 101, "アピール文の入力文字数を減らして下さい"),
            ("アピール文", "a", None),
            ("MAIL2", "a\U0001F600", "MAIL2に保存できない文字が含まれています"),
        ]
        for caption, value, message in cases:
            app.set_text(caption, value)
            if message is None:
                continue
            app.press("更新")
            self.assertEqual(app.expect_message().text, message)
            self.assertEqual(self.data.read("myload.txt"), before)
        app.press("戻る")
        self.wait_closed(app)
        self.assertEqual(self.data.read("myload.txt"), before)

    def test_delete_blanks_the_profile(self):
        self.data.write("myload.txt", [profile("p")])
        app = self.start_list()
        self.open_profile(app)
        self.assertEqual(self.boxes(app), profile("p"))
        app.press("削除")
        self.wait_closed(app)
        app.assert_no_message()
        self.assertEqual(self.data.read("myload.txt"), BLANK_PROFILE)
        self.open_profile(app)
        self.assertEqual(self.boxes(app), [""] * 16)

    def test_import_takes_the_last_received_record(self):
        self.data.write("myload.txt", [profile("old")])
        app = self.start_list()
        self.open_profile(app)
        received = profile("new")
        received[0] = "名" * 12  # checked only when the user saves
        self.data.write("putData", [profile("first"), received])

        app.press("取込")

        wait_for(lambda: self.boxes(app) == received, what="the imported profile in the boxes")
        app.assert_no_message()
        self.assertEqual(self.data.read("myload.txt"), record_bytes([received]))
        self.assertEqual(self.data.names(), ["load.txt", "myload.txt"])
        self.assertTrue(app.enabled("更新"))
        app.press("戻る")
        self.wait_closed(app)

    def test_import_of_a_record_cut_short_is_reported_and_locks(self):
        before = record_bytes([profile("old")])
        self.data.write("myload.txt", before)
        app = self.start_list()
        self.open_profile(app)
        short = record_bytes([profile("new")]) + b"a\r\nb\r\nc\r\nd\r\n"
        self.data.write("putData", short)

        app.press("取込")

        message = app.expect_message()
        self.assertEqual(message.title, "プログラムエラー")
        self.assertIn("CmdImport3_Click", message.text)
        self.assertIn("Form3", message.text)
        for caption in ("取込", "更新", "削除"):
            self.assertFalse(app.enabled(caption), caption)
        self.assertFalse(is_enabled_text(app, "氏名"))
        self.assertTrue(app.enabled("戻る"))
        self.assertEqual(self.data.read("myload.txt"), before)
        self.assertEqual(self.data.read("cp_myload.txt"), before)
        self.assertEqual(self.data.read("putData"), short)
        app.press("戻る")
        self.wait_closed(app)
        self.assertTrue(app.enabled("本人画面"))


def is_enabled_text(app, caption):
    return harness.is_enabled(app.find(caption, "text"))


if __name__ == "__main__":
    unittest.main()
