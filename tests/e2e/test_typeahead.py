"""Type-ahead in the contact list through the real program: kana typed with
the grid focused makes the first contact of that reading current."""

import time

import harness
from harness import E2ETestCase, contact, wait_for


class TypeAheadTest(E2ETestCase):
    def test_kana_typed_in_the_list(self):
        records = [contact(f"あ{n:02d}", f"亜{n:02d}") for n in range(40)]
        records += [contact("やまぐち", "山口"), contact("やまだ", "山田"), contact("わだ", "和田")]
        self.data.write("load.txt", records)
        app = self.start()
        first = app.grid_cell_accessible(1, 1)

        def focused():
            app.click(first)
            time.sleep(0.2)
            return first.getState().contains(harness.pyatspi.STATE_SELECTED)
        wait_for(focused, what="the grid to take the focus")

        app.desktop.type("や")
        target = app.grid_cell_accessible(41, 1)
        wait_for(lambda: target.getState().contains(harness.pyatspi.STATE_SELECTED),
                 what="山口 to become current")
        self.assertEqual(target.name, "山口")
        # Scrolled to the top of the grid, check marks untouched.
        self.assertTrue(target.getState().contains(harness.pyatspi.STATE_SHOWING))
        self.assertEqual(set(app.grid_checks()), {"OFF"})
        app.press("終了")
        self.assertEqual(app.wait_exit(), 0)
