"""The real program driven by the keyboard alone, through the X server: Tab
walks the contact list window's buttons, Enter presses the focused one, and
Escape leaves the profile window and the editor like "戻る"."""

import time
import unittest

import harness
from harness import E2ETestCase, contact, extents, wait_for

TAB, RETURN, ESCAPE = 0xFF09, 0xFF0D, 0xFF1B


def key(keysym, times=1):
    for _ in range(times):
        harness.pyatspi.Registry.generateKeyboardEvent(keysym, None, harness.pyatspi.KEY_SYM)
        time.sleep(0.1)


def is_focused(acc):
    return acc.getState().contains(harness.pyatspi.STATE_FOCUSED)


def dialogs(app):
    return [w for role, _, w in app.windows() if role == "dialog"]


class KeyboardTest(E2ETestCase):
    def test_keyboard_alone_reaches_every_window_and_ends_the_program(self):
        self.data.write("load.txt", [contact("あべ", "阿部", "a"), contact("いとう", "伊藤", "i")])
        self.data.write("myload.txt", b"")
        listed = self.data.read("load.txt")
        app = self.start()
        # A screen without a window manager activates a window on a click:
        # one on the bare window between two buttons (twips 3200, 8500),
        # which takes no control's focus.
        x, y, _, _ = extents(app.grid())
        app.click((x - 10 + 213, y - 8 + 567))
        self.assertTrue(wait_for(lambda: is_focused(app.find("データ取込", "button")),
                                 what="the first button to have the focus"))

        # データ取込 → データ出力 → 検索文字列 → 検索項目 → 検索 → 更新画面 → 終了 → 本人画面
        key(TAB, 7)
        key(RETURN)
        wait_for(lambda: dialogs(app), what="the profile window")
        self.assertEqual(app.text("氏名"), "")
        key(ESCAPE)
        wait_for(lambda: not dialogs(app), what="the profile window to close")

        # Back on 本人画面: Tab on to 全チェック, 全クリア, the grid, round to
        # データ取込 and on to 更新画面.
        key(TAB, 4 + 5)
        key(RETURN)
        wait_for(lambda: dialogs(app), what="the editor")
        self.assertEqual(app.text("氏名"), "伊藤")  # the last row is current after the load
        key(ESCAPE)
        wait_for(lambda: not dialogs(app), what="the editor to close")
        app.assert_no_message()
        self.assertEqual(self.data.read("load.txt"), listed)

        key(TAB)  # 終了
        key(RETURN)
        self.assertEqual(app.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
