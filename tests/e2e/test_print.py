"""印刷… through the real program: Ctrl+P opens Qt's print dialog, which
prints into a PDF file; pdftotext shows the rows' headings and the contacts."""

import os
import subprocess
import time
import unicodedata

import harness
from harness import E2ETestCase, contact, wait_for

KEY_CONTROL, KEY_P = 37, 33  # Xvfb's keycodes


def press_ctrl_p():
    registry = harness.pyatspi.Registry
    registry.generateKeyboardEvent(KEY_CONTROL, None, harness.pyatspi.KEY_PRESS)
    registry.generateKeyboardEvent(KEY_P, None, harness.pyatspi.KEY_PRESSRELEASE)
    registry.generateKeyboardEvent(KEY_CONTROL, None, harness.pyatspi.KEY_RELEASE)


def print_to_pdf(app, path):
    """Ctrl+P in the list window, the dialog's output file set, 'Print'."""
    cell = app.grid_cell_accessible(1, 1)

    def focused():
        app.click(cell)
        time.sleep(0.2)
        return app.grid_cell_accessible(1, 1).getState().contains(harness.pyatspi.STATE_SELECTED)
    wait_for(focused, what="the list window to take keys")
    press_ctrl_p()
    app.window("印刷", "dialog")
    app.set_text("Output file:", path)
    app.press("Print")
    wait_for(lambda: os.path.exists(path) and os.path.getsize(path) > 0, what="the PDF")
    app.wait_dialogs_closed("the print dialog to close")


class PrintTest(E2ETestCase):
    def test_thirty_contacts_to_pdf(self):
        records = [contact(f"{kana}{n}", f"名前{kana}{n}") for kana in "かがあわ" for n in range(7)]
        records += [contact("ABC", "エービー"), contact("ぱんだ", "パンダ")]
        self.data.write("load.txt", records)
        app = self.start()
        pdf = os.path.join(self.session.folder, "list.pdf")
        print_to_pdf(app, pdf)
        # NFKC: the PDF's text gives 行 as the radical ⾏, which shares its glyph.
        text = unicodedata.normalize("NFKC", subprocess.run(["pdftotext", "-layout", pdf, "-"],
                                                            capture_output=True, text=True, check=True).stdout)
        headings = [line.strip() for line in text.splitlines() if line.strip().endswith("行") or line.strip() == "その他"]
        self.assertEqual(headings, ["あ行", "か行", "は行", "わ行", "その他"])
        self.assertIn("名前が3", text)
        app.press("終了")
        self.assertEqual(app.wait_exit(), 0)
