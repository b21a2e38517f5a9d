"""Check marks, search and export through the real program: check cells are
clicked, "全チェック" and "全クリア" pressed, a search text typed, a field
chosen and "検索" pressed, "データ出力" pressed; the messages, the grid (texts
and colours on screen) and pcData are checked."""

import resource
import signal
import subprocess
import time
import unittest

import harness
from harness import App, E2ETestCase, contact, parse_records, record_bytes, wait_for

GREEN = (0, 255, 0)
GREY = (192, 192, 192)
CYAN = (0, 255, 255)
WHITE = (255, 255, 255)

NONE_CHECKED = "出力対照データが１件もありません"


def numbered(count, tag="t"):
    return [contact(f"よみ{n:03d}", f"名前{n:03d}", tag) for n in range(1, count + 1)]


class ChecksSearchExportTest(E2ETestCase):
    def start_with(self, records):
        self.data.write("load.txt", records)
        app = self.start()
        self.wait_ready(app)
        return app

    def wait_ready(self, app):
        # A click that comes while the window is still being mapped is lost:
        # click a data cell until it shows as selected, so that the clicks on
        # check cells after it (each one toggles) arrive once each.
        if app.grid_rows() < 2:
            return
        cell = app.grid_cell_accessible(1, 1)

        def clicked():
            app.click(cell)
            time.sleep(0.2)
            return cell.getState().contains(harness.pyatspi.STATE_SELECTED)
        wait_for(clicked, what="the grid to take clicks")

    def click_check(self, app, row, expected):
        app.click_cell(row, 0)
        wait_for(lambda: app.grid_cell(row, 0) == expected, what=f"check cell {row} to read {expected}")

    def wait_colour(self, app, row, col, colour):
        wait_for(lambda: app.cell_colour(row, col) == colour,
                 what=f"cell ({row}, {col}) to show {colour}")

    def search(self, app, text, field=None):
        app.set_text("検索文字列", text)
        if field:
            app.choose("検索項目", field)
        app.press("検索")

    def launch_with_file_limit(self, limit):
        """Starts the program so that any file it writes fails past `limit` bytes.

        Permissions don't stop root, but a file size limit does: the write
        fails with EFBIG (SIGXFSZ is ignored, and stays ignored across exec).
        """
        session = self.session
        hard = resource.getrlimit(resource.RLIMIT_FSIZE)[1]

        def limit_writes():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, hard))

        popen = subprocess.Popen([session.binary], env=session.env(), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, cwd=session.folder,
                                 start_new_session=True, preexec_fn=limit_writes)
        app = App(popen, session.desktop)
        session.apps.append(app)
        app.wait_form1()
        self.wait_ready(app)
        return app

    # ------------------------------------------------------------ check marks

    def test_check_cells_toggle_and_the_two_buttons(self):
        app = self.start_with(numbered(6))
        self.assertEqual(app.grid_checks(), ["OFF"] * 6)

        self.click_check(app, 2, "ON")
        self.wait_colour(app, 2, 0, GREEN)
        self.click_check(app, 5, "ON")
        self.click_check(app, 2, "OFF")
        self.wait_colour(app, 2, 0, GREY)
        self.assertEqual(app.grid_checks(), ["OFF", "OFF", "OFF", "OFF", "ON", "OFF"])

        # A click on a data cell only moves the selection.
        app.click_cell(3, 4)
        app.click_cell(3, 20)
        time.sleep(0.5)
        self.assertEqual(app.grid_checks(), ["OFF", "OFF", "OFF", "OFF", "ON", "OFF"])

        app.press("全チェック")
        wait_for(lambda: app.grid_checks() == ["ON"] * 6, what="every row checked")
        for row in (1, 5, 6):
            self.wait_colour(app, row, 0, GREEN)
        app.press("全クリア")
        wait_for(lambda: app.grid_checks() == ["OFF"] * 6, what="every row unchecked")
        for row in (1, 5, 6):
            self.wait_colour(app, row, 0, GREY)
        app.assert_no_message()

    def test_empty_grid_buttons_change_nothing(self):
        app = self.start_with([])
        app.press("全チェック")
        app.press("全クリア")
        app.assert_no_message()
        self.assertEqual(app.grid_rows(), 1)
        app.press("データ出力")
        self.assertEqual(app.expect_message().text, NONE_CHECKED)
        app.set_text("検索文字列", "名前")
        app.press("検索")
        self.assertEqual(app.expect_message().text, "検索できるデータがありません")
        self.assertTrue(app.enabled("データ出力"))

    # ------------------------------------------------------------ search

    def test_search_refusals(self):
        app = self.start_with(numbered(3))
        app.press("検索")
        self.assertEqual(app.expect_message().text, "検索文字列を入力して下さい")
        self.search(app, " \u3000")
        self.assertEqual(app.expect_message().text, "検索文字列を入力して下さい")
        self.search(app, "名前")
        self.assertEqual(app.expect_message().text, "項目が選択されていません")
        self.search(app, "該当なし", "氏名")
        # Where the focus goes after each message is checked by the window
        # tests: without a window manager the window isn't active again once
        # a message box has closed.
        self.assertEqual(app.expect_message().text, "検索結果は0件です")

    def test_find_next_folds_kana_width_and_case(self):
        rows = [contact("さとう", "佐藤"), contact("やまだ", "ヤマダ 一郎"), contact("すずき", "鈴木"),
                contact("やまだ", "ﾔﾏﾀﾞ ｼﾞﾛｳ"), contact("えーびーしー", "ＡＢＣ商事"),
                contact("やまだ", "山田")]
        app = self.start_with(rows)
        # Colours are read in column 3 (Mail1), away from the selected cell.
        self.search(app, "やまだ", "氏名")
        app.assert_no_message(0.5)
        self.wait_colour(app, 2, 3, CYAN)
        self.assertEqual(app.cell_colour(1, 3), WHITE)
        self.assertTrue(app.grid().getState().contains(harness.pyatspi.STATE_FOCUSED))

        app.press("検索")
        self.wait_colour(app, 4, 3, CYAN)
        self.assertEqual(app.cell_colour(2, 3), CYAN)  # earlier hits stay marked
        app.press("検索")  # no wrap-around, no message
        app.assert_no_message()
        self.assertEqual([app.cell_colour(r, 3) for r in range(1, 7)],
                         [WHITE, CYAN, WHITE, CYAN, WHITE, WHITE])

        # Another text starts again from the top, every row white first.
        self.search(app, "abc")
        self.wait_colour(app, 5, 3, CYAN)
        self.assertEqual([app.cell_colour(r, 3) for r in range(1, 7)],
                         [WHITE, WHITE, WHITE, WHITE, CYAN, WHITE])

    def test_hit_row_is_scrolled_to_the_top(self):
        app = self.start_with(numbered(60))
        self.click_check(app, 3, "ON")
        self.search(app, "名前040", "氏名")
        app.assert_no_message(0.5)
        grid_y = harness.extents(app.grid())[1]
        header_y = harness.extents(app.grid_cell_accessible(0, 1))
        first_row_y = header_y[1] + header_y[3]

        def hit_on_top():
            y = harness.extents(app.grid_cell_accessible(40, 1))[1]
            return abs(y - first_row_y) <= 2
        wait_for(hit_on_top, what="row 40 as the first visible row")
        self.assertGreater(first_row_y, grid_y)
        self.assertEqual(app.grid_cell(3, 0), "ON")  # the search leaves check marks alone

    # ------------------------------------------------------------ export

    def test_export_limit_and_thirty_rows(self):
        rows = numbered(31)
        rows[1][7] = ""  # アピール文 of row 2 blank
        rows[1][12] = " "  # FAX of row 2 a single blank
        self.data.create()
        earlier = record_bytes([contact("まえ", "前回", "p")])
        self.data.write("pcData", earlier)
        app = self.start_with(rows)

        app.press("データ出力")
        self.assertEqual(app.expect_message().text, NONE_CHECKED)

        app.press("全チェック")
        wait_for(lambda: app.grid_checks() == ["ON"] * 31, what="every row checked")
        app.press("データ出力")
        self.assertEqual(app.expect_message().text, "1件多いです。選択を減らして下さい")
        self.assertEqual(self.data.read("pcData"), earlier)

        self.click_check(app, 1, "OFF")
        app.press("データ出力")
        self.assertEqual(app.expect_message().text, "30件のデータ出力が完了しました")
        written = self.data.read("pcData")
        self.assertEqual(written.count(b"\r\n"), 600)
        records = parse_records(written)
        expected = [[value if value.strip() else " " for value in r] for r in rows[1:]]
        self.assertEqual(records, expected)
        self.assertEqual(records[0][7], " ")
        self.assertEqual(self.data.mode("pcData"), 0o600)
        # The export leaves the check marks as they were.
        self.assertEqual(app.grid_checks(), ["OFF"] + ["ON"] * 30)

    def test_second_export_holds_only_its_rows_in_grid_order(self):
        rows = numbered(5)
        app = self.start_with(rows)
        for row in (4, 2):
            self.click_check(app, row, "ON")
        app.press("データ出力")
        self.assertEqual(app.expect_message().text, "2件のデータ出力が完了しました")
        self.assertEqual(self.data.records("pcData"), [rows[1], rows[3]])

        app.press("全クリア")
        wait_for(lambda: app.grid_checks() == ["OFF"] * 5, what="every row unchecked")
        self.click_check(app, 5, "ON")
        app.press("データ出力")
        self.assertEqual(app.expect_message().text, "1件のデータ出力が完了しました")
        self.assertEqual(self.data.records("pcData"), [rows[4]])

    def test_failed_export_is_reported_and_keeps_the_earlier_file(self):
        rows = numbered(30)
        self.data.write("load.txt", rows)
        earlier = record_bytes([contact("まえ", "前回", "p")])
        self.data.write("pcData", earlier)
        names = self.data.names()
        app = self.launch_with_file_limit(len(earlier) + 100)

        app.press("全チェック")
        wait_for(lambda: app.grid_checks() == ["ON"] * 30, what="every row checked")
        app.press("データ出力")
        message = app.expect_message()
        self.assertEqual(message.title, "プログラムエラー")
        self.assertIn("ルーチン名\u3000\u3000\u3000(CmdExport_Click)", message.text)
        self.assertEqual(self.data.read("pcData"), earlier)
        self.assertEqual(self.data.names(), names)  # no temporary file left
        for caption in ("データ出力", "全チェック", "全クリア", "検索", "データ取込", "更新画面", "本人画面"):
            self.assertFalse(app.enabled(caption), caption)
        self.assertFalse(harness.is_enabled(app.grid()))
        self.assertTrue(app.enabled("終了"))
        app.press("終了")
        self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
