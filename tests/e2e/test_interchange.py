"""vCard and CSV through the real program's ファイル menu: the import's file
dialog and preview (tick and untick, 〓, cancel), the exports'
save dialog; then the data folder's files checked."""

import os
import unittest

from harness import E2ETestCase, contact, find_in, record_bytes, wait_for

PREVIEW = "取り込む連絡先の確認"

CARDS = (
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田\u3000太郎\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\n"
    "X-PHONETIC-FIRST-NAME:タロウ\r\nTEL;TYPE=CELL:03-0000-0001\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:鈴木\u3000一郎\r\nX-PHONETIC-LAST-NAME:スズキ\r\n"
    "X-PHONETIC-FIRST-NAME:イチロウ\r\nNOTE:よろしく😀\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:田中\u3000次郎\r\nX-PHONETIC-LAST-NAME:タナカ\r\n"
    "X-PHONETIC-FIRST-NAME:ジロウ\r\nEND:VCARD\r\n"
).encode()

LISTED = [contact("やまだ\u3000たろう", "山田\u3000太郎", "L")]


class InterchangeTest(E2ETestCase):
    def menu(self, app, caption):
        app.find(caption, "menu item").queryAction().doAction(0)

    def file_dialog(self, app, title, path, button):
        dialog = app.window(title, "dialog")
        find_in(dialog, "File name:", "text")[0].queryEditableText().setTextContents(path)
        find_in(dialog, button, "push button")[0].queryAction().doAction(0)

    def open_preview(self, app):
        path = os.path.join(os.path.dirname(self.data.path), "in.vcf")
        with open(path, "wb") as f:
            f.write(CARDS)
        self.menu(app, "vCard・CSV を取り込む…")
        self.file_dialog(app, "vCard・CSV を取り込む", path, "Open")
        return app.window(PREVIEW, "dialog")

    def table(self, preview):
        return find_in(preview, "取り込む連絡先", "table")[0]

    def cell(self, preview, row, col):
        return self.table(preview).queryTable().getAccessibleAt(row, col)

    def counts(self, preview):
        return next(label.name for label in find_in(preview, role="label") if label.name.startswith("全 "))

    def press_in(self, preview, caption, role="push button"):
        find_in(preview, caption, role)[0].queryAction().doAction(0)

    def names(self, name_field=0):
        return [r[name_field] for r in self.data.records("load.txt")]

    def test_import_with_an_unticked_contact_and_geta(self):
        self.data.write("load.txt", LISTED)
        app = self.start()
        preview = self.open_preview(app)

        statuses = [self.cell(preview, r, 1).name for r in range(3)]
        self.assertEqual(statuses, ["置換", "新規・保存できない文字", "新規"])
        self.assertTrue(self.counts(preview).endswith("取り込む連絡先: 3 件"), self.counts(preview))
        # Untick 田中 with a real click on its check box.
        x, y, _, h = self.cell(preview, 2, 0).queryComponent().getExtents(0)
        app.click((x + 12, y + h // 2))
        wait_for(lambda: self.counts(preview).endswith("取り込む連絡先: 2 件"), what="the count to follow")
        self.press_in(preview, "取り込む")

        message = app.expect_message()
        self.assertTrue(message.text.startswith("取り込みました。\n新規 1 件、置換 1 件"), message.text)
        records = {r[0]: r for r in self.data.records("load.txt")}
        self.assertEqual(sorted(records), sorted(["山田\u3000太郎", "鈴木\u3000一郎"]))
        self.assertEqual(records["鈴木\u3000一郎"][19], "よろしく〓")
        self.assertEqual(records["山田\u3000太郎"][1], "03-0000-0001")
        wait_for(lambda: app.grid_rows() == 3, what="the grid to reload")
        self.assertEqual(self.data.names(), ["load.txt"])

    def test_cancel_writes_nothing(self):
        self.data.write("load.txt", LISTED)
        app = self.start()
        preview = self.open_preview(app)
        self.press_in(preview, "キャンセル")
        app.wait_dialogs_closed()
        app.assert_no_message()
        self.assertEqual(self.data.read("load.txt"), record_bytes(LISTED))
        self.assertEqual(self.data.names(), ["load.txt"])

    def test_export_through_the_menu(self):
        listed = [contact("あおき", "青木", "A"), contact("いとう", "伊藤", "B")]
        self.data.write("load.txt", listed)
        app = self.start()
        folder = os.path.dirname(self.data.path)
        for caption, title, name, start in [
                ("vCard で書き出す…", "vCard で書き出す", "out.vcf", b"BEGIN:VCARD\r\nVERSION:3.0\r\n"),
                ("CSV で書き出す…", "CSV で書き出す", "out.csv", b"\xef\xbb\xbfFirst Name,")]:
            self.menu(app, caption)
            self.file_dialog(app, title, os.path.join(folder, name), "Save")
            self.assertEqual(app.expect_message().text, "2件を書き出しました。")
            with open(os.path.join(folder, name), "rb") as f:
                written = f.read()
            self.assertTrue(written.startswith(start), written[:60])
            self.assertIn("伊藤".encode(), written)


if __name__ == "__main__":
    unittest.main()
