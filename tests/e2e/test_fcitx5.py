"""The reading typed through a real input method: fcitx5 with mozc (Debian's
fcitx5, fcitx5-mozc, fcitx5-frontend-qt6) runs on the test's X server and
session bus; やまだ typed as romaji and converted to 山田 in the editor's 氏名
fills 氏名ふりがな. Skipped where fcitx5 or mozc is not installed, and for
the root user: mozc's conversion server refuses to run as root (it exits at
once and fcitx5 waits on it for ever)."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import harness
from harness import E2ETestCase, contact, wait_for

MOZC_ADDON = "/usr/lib/x86_64-linux-gnu/fcitx5/fcitx5-mozc.so"
QT_FRONTEND = "/usr/lib/x86_64-linux-gnu/qt6/plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so"
PROFILE = """[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
"""
KEY_SPACE, KEY_RETURN = 0x20, 0xff0d


@unittest.skipUnless(shutil.which("fcitx5") and os.path.exists(MOZC_ADDON) and os.path.exists(QT_FRONTEND),
                     "fcitx5, fcitx5-mozc or fcitx5-frontend-qt6 is not installed")
@unittest.skipIf(os.geteuid() == 0, "mozc_server refuses to run as root")
class Fcitx5Test(E2ETestCase):
    def start_fcitx5(self):
        home = tempfile.mkdtemp(prefix="tessaline-fcitx5-")
        self.addCleanup(shutil.rmtree, home, True)
        os.makedirs(os.path.join(home, ".config", "fcitx5"))
        with open(os.path.join(home, ".config", "fcitx5", "profile"), "w") as f:
            f.write(PROFILE)
        env = self.session.env()
        env.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")})
        fcitx = subprocess.Popen(["fcitx5", "--disable=wayland,waylandim,kimpanel,notificationitem"],
                                 env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 start_new_session=True, preexec_fn=harness._die_with_parent)
        self.addCleanup(harness._stop, fcitx)
        self.remote_env = env
        wait_for(lambda: self.remote() == 0, timeout=60, what="fcitx5 to answer")

    def remote(self, *args):
        return subprocess.run(["fcitx5-remote", *args], env=self.remote_env, capture_output=True,
                              timeout=10).returncode

    def test_yamada_converted_fills_the_reading(self):
        self.start_fcitx5()
        self.data.write("load.txt", [contact("", "仮")])
        os.environ["QT_IM_MODULE"] = "fcitx"
        try:
            app = self.start()
        finally:
            del os.environ["QT_IM_MODULE"]
        cell = app.grid_cell_accessible(1, 1)

        def selected():
            app.click(cell)
            time.sleep(0.2)
            return app.grid_cell_accessible(1, 1).getState().contains(harness.pyatspi.STATE_SELECTED)
        wait_for(selected, what="the row selected")
        app.press("更新画面")
        app.window("Tessaline", "dialog")
        time.sleep(1)
        # Ctrl+Space, fcitx5's trigger key, switches to mozc (Xvfb's
        # keycodes: 37 Control_L, 65 space).
        harness.pyatspi.Registry.generateKeyboardEvent(37, None, harness.pyatspi.KEY_PRESS)
        harness.pyatspi.Registry.generateKeyboardEvent(65, None, harness.pyatspi.KEY_PRESSRELEASE)
        harness.pyatspi.Registry.generateKeyboardEvent(37, None, harness.pyatspi.KEY_RELEASE)
        current = lambda: subprocess.run(["fcitx5-remote", "-n"], env=self.remote_env, capture_output=True,
                                         text=True, timeout=10).stdout.strip()
        wait_for(lambda: current() == "mozc", timeout=60, what="mozc to be switched on")
        app.desktop.type("yamada")
        time.sleep(0.5)
        harness.pyatspi.Registry.generateKeyboardEvent(KEY_SPACE, None, harness.pyatspi.KEY_SYM)
        time.sleep(0.5)
        harness.pyatspi.Registry.generateKeyboardEvent(KEY_RETURN, None, harness.pyatspi.KEY_SYM)
        try:
            wait_for(lambda: app.text("氏名") == "山田", what="山田 in 氏名")
        except AssertionError:
            state = subprocess.run(["fcitx5-remote", "-n"], env=self.remote_env, capture_output=True, text=True)
            self.fail(f"氏名 holds {app.text('氏名')!r}, 氏名ふりがな {app.text('氏名ふりがな')!r}; "
                      f"fcitx5's input method: {state.stdout.strip()!r} (rc {self.remote()})")
        self.assertEqual(app.text("氏名ふりがな"), "やまだ")
