"""編集 › 元に戻す through the real program: an import, then Ctrl+Z typed on
the keyboard gives back the list as it was, says what it undid, and keeps
the history folder the owner's alone."""

import unittest

import pyatspi

from harness import E2ETestCase, contact, extents, wait_for

# X key codes of the test server's keyboard.
CONTROL_L = 37
KEY_Z = 52


def press_ctrl_z():
    pyatspi.Registry.generateKeyboardEvent(CONTROL_L, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(KEY_Z, None, pyatspi.KEY_PRESSRELEASE)
    pyatspi.Registry.generateKeyboardEvent(CONTROL_L, None, pyatspi.KEY_RELEASE)


class UndoTest(E2ETestCase):
    def test_ctrl_z_gives_back_the_list_before_the_import(self):
        listed = [contact("あおき", "青木", "L")]
        self.data.write("load.txt", listed)
        before = self.data.read("load.txt")
        app = self.start()
        self.data.write("getData", [contact("いとう", "伊藤", "R")])
        app.press("データ取込")
        wait_for(lambda: self.data.names() == ["load.txt"], what="the import to finish")
        self.assertEqual(app.grid_rows(), 3)
        # A screen without a window manager activates a window on a click:
        # one on the bare window between two buttons.
        x, y, _, _ = extents(app.grid())
        app.click((x - 10 + 213, y - 8 + 567))
        wait_for(lambda: app.find("データ取込", "button").getState().contains(pyatspi.STATE_FOCUSED),
                 what="the window to have the focus")

        press_ctrl_z()

        message = app.expect_message()
        self.assertEqual(message.text, "データ取込を元に戻しました")
        wait_for(lambda: app.grid_rows() == 2, what="the grid to reload")
        self.assertEqual(self.data.read("load.txt"), before)
        self.assertEqual(app.grid_data(), listed)
        self.assertEqual(self.data.mode("history"), 0o700)


if __name__ == "__main__":
    unittest.main()
