"""Start-up and the contact list load, through the real program: the first
start that creates the empty list, the single instance, the load of the list
in file order, a list that can't be read to its end, and the way out."""

import os
import signal
import subprocess
import time
import unittest

from harness import HEADINGS, LOCK_FILE, E2ETestCase, contact, extents

CREATED = "該当の取込ファイルがありません。新規作成します。"
ALREADY_RUNNING = "すでに画面は起動済です。2重起動はできません"
SEARCH_FIELDS = ["氏名", "TEL1", "MAIL1", "所属先1", "所属先2", "アピール文", "TEL2", "MAIL2",
                 "イベント", "日付", "場所"]
# Column widths in twips, check column first; 15 twips make a pixel at 96 DPI.
COLUMN_TWIPS = [600, 2100, 1800, 4100, 2000, 2000, 2800, 1500, 8300, 1300, 3850, 1800, 4100,
                1100, 4100, 4100, 4100, 2500, 1800, 2500, 3000]
BUTTONS = ["全チェック", "全クリア", "本人画面", "データ取込", "データ出力", "検索", "更新画面", "終了"]


def error_report(routine, number, description):
    return "\n".join([
        "プログラム名\u3000\u3000(Form1)",
        f"ルーチン名\u3000\u3000\u3000({routine})",
        f"エラー内容  \u3000\u3000({number} {description})",
        "エラーが発生しました。内容を確認後、システム管理者に連絡して下さい",
    ])


def blue_share(image):
    """The share of the screen that is clearly blue (the splash picture is)."""
    return float(subprocess.run(
        ["convert", image, "-scale", "10%", "-fx", "b-r>0.25", "-format", "%[fx:mean]", "info:"],
        capture_output=True, text=True, timeout=30, check=True).stdout)


class StartupTest(E2ETestCase):
    def assert_empty_list_window(self, app):
        self.assertEqual(app.grid_rows(), 1)
        self.assertEqual(app.grid_cols(), 21)
        self.assertEqual(app.grid_headings(), HEADINGS)
        self.assertEqual(app.combo_entries("検索項目"), SEARCH_FIELDS)
        self.assertEqual(app.combo_text("検索項目"), "")
        self.assertEqual(app.text("検索文字列"), "")
        for caption in BUTTONS:
            self.assertTrue(app.enabled(caption, "push button"), caption)

    def test_first_start_creates_an_empty_list_and_ends_then_the_next_start_opens_it(self):
        self.assertFalse(self.data.exists())
        first = self.launch()

        message = first.wait_message()
        self.assertEqual((message.title, message.text), ("Tessaline", CREATED))
        # The splash is gone and the list window never shows on this start.
        self.assertEqual([role for role, _, _ in first.windows()], ["alert"])
        message.ok()
        self.assertEqual(first.wait_exit(), 0)

        self.assertEqual(self.data.mode(), 0o700)
        self.assertEqual(self.data.names(), ["load.txt"])
        self.assertEqual(self.data.read("load.txt"), b"")
        self.assertEqual(self.data.mode("load.txt"), 0o600)

        second = self.start()
        second.assert_no_message()
        self.assert_empty_list_window(second)
        widths = [extents(second.grid_cell_accessible(0, c))[2] for c in range(1, 21)]
        self.assertEqual(widths, [round(t / 15) for t in COLUMN_TWIPS[1:]])
        self.assertEqual(self.data.read("load.txt"), b"")

    def test_the_splash_shows_its_picture_and_is_gone_when_the_list_shows(self):
        self.data.write("load.txt", [])
        app = self.launch()
        # The program answers nobody during its pause, so the screen is watched
        # (long enough for a start slowed by a busy machine).
        shot = os.path.join(self.session.folder, "screen.png")
        shares = []
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and (not shares or shares[-1] < 0.03):
            self.session.desktop.screenshot(shot)
            shares.append(blue_share(shot))
        self.assertGreater(max(shares), 0.03, "the splash picture never showed")

        app.wait_form1()
        self.session.desktop.screenshot(shot)
        self.assertLess(blue_share(shot), 0.001)
        self.assertEqual([role for role, _, _ in app.windows()], ["filler"])

    def test_one_instance_at_a_time_and_a_killed_one_leaves_no_lock(self):
        self.data.write("load.txt", [contact("あべ", "阿部", "a")])
        running = self.start()

        second = self.launch()
        message = second.wait_message()
        self.assertEqual((message.title, message.text), ("Tessaline", ALREADY_RUNNING))
        # Refused before the splash: the message is its only window.
        self.assertEqual([role for role, _, _ in second.windows()], ["alert"])
        message.ok()
        self.assertEqual(second.wait_exit(), 0)

        self.assertTrue(running.running())
        self.assertEqual(running.grid_rows(), 2)
        self.assertEqual(running.grid_cell(1, 1), "阿部")
        running.assert_no_message(within=0.3)

        running.kill(signal.SIGKILL)
        after_kill = self.start()
        after_kill.assert_no_message()
        self.assertEqual(after_kill.grid_cell(1, 1), "阿部")

    def test_one_writer_per_data_folder_whatever_the_runtime_folder(self):
        # Two sessions of the user (another login, another machine sharing
        # the home folder) have runtime folders of their own, or none.
        self.data.write("load.txt", [contact("あべ", "阿部", "a")])
        running = self.start()
        other = os.path.join(self.session.folder, "runtime-other")
        os.mkdir(other, 0o700)
        for label, runtime in (("another runtime folder", other), ("no runtime folder", None)):
            with self.subTest(label):
                second = self.session.launch(runtime_dir=runtime)
                message = second.wait_message()
                self.assertEqual((message.title, message.text), ("Tessaline", ALREADY_RUNNING))
                message.ok()
                self.assertEqual(second.wait_exit(), 0)
                self.assertTrue(running.running())
        self.assertEqual(os.listdir(other), [])
        self.assertEqual(self.data.mode(LOCK_FILE), 0o600)
        running.press("終了")
        self.assertEqual(running.wait_exit(), 0)
        self.assertFalse(self.data.exists(LOCK_FILE))

    def test_the_list_loads_in_file_order_unchecked_and_exit_ends_the_program(self):
        # Not in reading order: the reader never sorts. Blank spellings, a
        # comma, a quote, edge blanks and code page 932 symbols come back as is.
        listed = [
            contact("やまだ たろう", "山田 太郎", f1="090-1234-5678", f2="yamada@example.jp",
                    f3="株式会社テスト", f7="よろしく、\"お願い\"します", f17="2024/04/01",
                    f18="東京～大阪"),
            contact("あおき はなこ", "青木 花子", "h"),
            contact("さとう", "佐藤", f1=" ", f4="  前後に空白  ", f19="①②③ ～ －"),
        ]
        self.data.write("load.txt", listed)
        app = self.start()

        app.assert_no_message()
        self.assertEqual(app.grid_rows(), 4)
        expected = [list(record) for record in listed]
        expected[2][1] = ""  # a line of one blank is an empty cell
        self.assertEqual(app.grid_data(), expected)
        self.assertEqual(app.grid_checks(), ["OFF"] * 3)
        heights = {extents(app.grid_cell_accessible(r, 0))[3] for r in range(1, 4)}
        self.assertEqual(heights, {30})  # 450 twips

        before = self.data.read("load.txt")
        app.press("終了")
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.data.read("load.txt"), before)
        self.assertEqual(self.data.names(), ["load.txt"])

    def test_a_list_that_cannot_be_read_to_its_end_is_reported_and_locks_the_window(self):
        complete = [contact("あべ", "阿部", "a"), contact("いとう", "伊藤", "b")]
        whole = b"".join(line.encode("cp932") + b"\r\n" for r in complete for line in r)
        cases = [
            ("last record cut short", whole + "上田\r\n".encode("cp932") * 7, 2,
             "62 ファイルの終わりを越えて読み込もうとしました"),
            # The reader decodes ahead in chunks, so how many rows come
            # before bad bytes depends on where they lie: only a prefix.
            ("bytes that are not code page 932", whole + b"\xff\xfe\r\n" * 20, None,
             "1001 ファイルに Shift_JIS として読めないバイトがあります"),
        ]
        for label, content, rows_kept, error in cases:
            with self.subTest(label):
                self.data.write("load.txt", content)
                app = self.launch()
                # The report comes from the window's load, before it shows.
                message = app.wait_message()
                number, description = error.split(" ", 1)
                self.assertEqual(message.title, "プログラムエラー")
                self.assertEqual(message.text, error_report("Pf_TextRead", number, description))
                message.ok()

                shown = app.grid_data()
                if rows_kept is not None:
                    self.assertEqual(len(shown), rows_kept)
                self.assertEqual(shown, complete[:len(shown)])
                for caption in BUTTONS[:-1]:
                    self.assertFalse(app.enabled(caption, "push button"), caption)
                self.assertFalse(app.enabled("検索文字列", "text"))
                self.assertFalse(app.enabled("検索項目", "combo box"))
                self.assertFalse(app.enabled("連絡先一覧", "table"))
                self.assertTrue(app.enabled("終了", "push button"))

                app.press("終了")
                self.assertEqual(app.wait_exit(), 0)
                # Nothing was rewritten on the way out.
                self.assertEqual(self.data.read("load.txt"), content)


if __name__ == "__main__":
    unittest.main()
