"""Drives the real tessaline program through the accessibility bus.

Run with Debian's own /usr/bin/python3 (it has pyatspi). The program under
test is the binary named by the environment variable TESSALINE_BIN (ctest
sets it).

The world of a test process
    The first test of a process starts a private X server (Xvfb on a free
    display number, 1280x1024x24), a private session bus (dbus-daemon) and an
    accessibility bus (at-spi-bus-launcher); they live until the process ends
    and are then stopped by their ids. Each is also told to end when the test
    process dies, so a test killed by a timeout leaves nothing running. One process is as far as this can go:
    libatspi connects to one accessibility bus per process and never lets go
    of it, so ctest runs each test file in a process of its own.

The world of one test case
    Every case gets a fresh temporary folder with its own XDG_DATA_HOME and
    XDG_RUNTIME_DIR (mode 0700), so data files and the single-instance lock
    never leak from one case into the next. Every program started in a case
    is killed by its process id when the case ends, pass or fail.

Writing a case::

    from harness import E2ETestCase, contact

    class StartupTest(E2ETestCase):
        def test_list_in_file_order(self):
            self.data.write("load.txt", [contact("やまだ", "山田"), contact("あべ", "阿部")])
            app = self.start()                 # waits past the splash for Form1
            self.assertEqual(app.grid_rows(), 3)        # header row + 2
            self.assertEqual(app.grid_cell(1, 1), "山田")
            self.assertEqual(app.grid_cell(1, 0), "OFF")
            app.press("終了")
            self.assertEqual(app.wait_exit(), 0)

Grid numbering is the program's own: row 0 is the heading row, column 0 the
check column ("ON"/"OFF"); data row r, field column c = field index + 1.

Roles are AT-SPI role names ("push button", "text", "combo box", "table",
"alert", "frame", "label", "dialog"); the short forms "button" and "combo"
are accepted too. A message box is a window of role "alert".

Every wait has a timeout and raises HarnessTimeout (an AssertionError, so it
reads as a test failure) when it runs out.
"""

import atexit
import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import warnings

# How long the splash, a load or a message may take before a wait gives up.
DEFAULT_TIMEOUT = 15.0
POLL = 0.05

# The program's field headings, in field order (grid column = index + 1).
HEADINGS = ["氏名", "TEL1", "Mail1", "所属先1", "所属先2", "住所", "最寄駅", "アピール文",
            "役職", "氏名ふりがな", "TEL2", "Mail2", "FAX", "URL", "顔写真", "地図",
            "イベント名", "日付", "場所", "コメント"]
FIELD_COUNT = 20
NAME_FIELD = 0
READING_FIELD = 9

_ROLE_ALIASES = {"button": "push button", "combo": "combo box", "edit": "text",
                 "grid": "table", "message": "alert"}

pyatspi = None  # imported once the private buses exist (see Desktop.start)


class HarnessTimeout(AssertionError):
    """A wait of the harness ran out of time."""


def wait_for(predicate, timeout=DEFAULT_TIMEOUT, what="condition"):
    """Polls predicate() until it returns a true value, and returns that value.

    Exceptions raised by predicate count as "not yet" (the accessibility tree
    changes under our feet while windows come and go). Raises HarnessTimeout
    naming `what` after `timeout` seconds.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Exception as error:  # noqa: BLE001 - the tree is in flux
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise HarnessTimeout(f"timed out after {timeout:.1f} s waiting for {what}{detail}")
        time.sleep(POLL)


# ---------------------------------------------------------------- records

def contact(reading="", name="", tag="", **fields):
    """A contact record: a list of 20 values in field order.

    `reading` (氏名ふりがな) and `name` (氏名) are set; every other field is
    tag + its field index when a tag is given, else empty. Keyword arguments
    named after a field index, e.g. f1="03-1234-5678", override single fields.
    """
    record = [f"{tag}{i}" if tag else "" for i in range(FIELD_COUNT)]
    record[READING_FIELD] = reading
    record[NAME_FIELD] = name
    for key, value in fields.items():
        if not re.fullmatch(r"f\d+", key) or int(key[1:]) >= FIELD_COUNT:
            raise ValueError(f"unknown field {key!r}; use f0 .. f19")
        record[int(key[1:])] = value
    return record


def record_bytes(records):
    """The bytes of a record file: every value on its own line, code page 932, CR LF."""
    lines = [value for record in records for value in record]
    return b"".join(value.encode("cp932") + b"\r\n" for value in lines)


def parse_records(data, lines_per_record=FIELD_COUNT):
    """Splits the bytes of a record file back into records (lists of values)."""
    text = data.decode("cp932")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) % lines_per_record:
        raise ValueError(f"{len(lines)} lines is not a whole number of records")
    return [lines[i:i + lines_per_record] for i in range(0, len(lines), lines_per_record)]


# ---------------------------------------------------------------- processes

def _stop(popen, sig=signal.SIGKILL, group=False):
    """Stops a process that the harness started, by its id (or its own group's id)."""
    if popen is None or popen.poll() is not None:
        return
    try:
        if group:
            os.killpg(popen.pid, sig)
        else:
            os.kill(popen.pid, sig)
    except ProcessLookupError:
        pass
    try:
        popen.wait(timeout=5)
    except subprocess.TimeoutExpired:
        os.kill(popen.pid, signal.SIGKILL)
        popen.wait(timeout=5)


def _die_with_parent():
    """Runs in a child before exec: it gets SIGTERM when the test process dies,
    even by SIGKILL (a ctest timeout), so no X server or bus outlives a test."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Desktop:
    """The private X server and buses of this test process (one per process).

    Use Desktop.get(); the first call starts everything, atexit stops it.
    Attributes: display (":N"), display_number, env (the variables a program
    needs to show itself and be reached: DISPLAY, DBUS_SESSION_BUS_ADDRESS,
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON, QT_ACCESSIBILITY).
    """

    _instance = None

    @classmethod
    def get(cls):
        if cls._instance is None:
            desktop = cls()
            try:
                desktop.start()
            except BaseException:
                desktop.stop()
                raise
            cls._instance = desktop
            atexit.register(desktop.stop)
        return cls._instance

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="tessaline-e2e-desktop-")
        self.xvfb = None
        self.bus = None
        self.a11y = None
        self.display = None
        self.display_number = None
        self.env = {}

    def start(self):
        global pyatspi
        # Xvfb picks a free display number itself and tells it through a pipe,
        # so parallel test processes never race for one.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True, preexec_fn=_die_with_parent)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + DEFAULT_TIMEOUT
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display_number = int(number)
        self.display = f":{self.display_number}"

        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                             "WAYLAND_DISPLAY")}
        runtime = os.path.join(self.folder, "runtime")
        os.mkdir(runtime, 0o700)
        base["XDG_RUNTIME_DIR"] = runtime
        base["DISPLAY"] = self.display
        # The session bus runs as a child of this process (not daemonised, as
        # dbus-launch would have it), so that it too ends when a test is killed.
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
            env=base, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, start_new_session=True, preexec_fn=_die_with_parent)
        bus_address = self.bus.stdout.readline().decode().strip()
        if not bus_address:
            raise RuntimeError("the session bus did not start")

        base["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        # Its own process group: the accessibility bus and the registry daemon
        # that it starts stay in that group and go with it.
        self.a11y = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                     env=base, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True,
                                     preexec_fn=_die_with_parent)
        a11y_address = wait_for(lambda: self._a11y_address(base), what="the accessibility bus")

        self.env = {"DISPLAY": self.display, "DBUS_SESSION_BUS_ADDRESS": bus_address,
                    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1"}
        # libatspi reads these when it first connects, in this process.
        os.environ.update({"DISPLAY": self.display, "DBUS_SESSION_BUS_ADDRESS": bus_address,
                           "AT_SPI_BUS_ADDRESS": a11y_address})
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import pyatspi as module
        # pyatspi calls libatspi functions that newer libatspi marks deprecated.
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        pyatspi = module

    @staticmethod
    def _a11y_address(env):
        result = subprocess.run(
            ["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply=literal",
             "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
            env=env, capture_output=True, text=True, timeout=5)
        return result.stdout.strip() if result.returncode == 0 else None

    def stop(self):
        _stop(self.a11y, signal.SIGTERM, group=True)
        _stop(self.bus, signal.SIGTERM)
        if self.bus is not None and self.bus.stdout:
            self.bus.stdout.close()
        _stop(self.xvfb, signal.SIGTERM)
        shutil.rmtree(self.folder, ignore_errors=True)

    def pixel(self, x, y):
        """The colour (r, g, b) of the screen pixel at x, y (0..255 each)."""
        out = subprocess.run(
            ["import", "-display", self.display, "-window", "root",
             "-crop", f"1x1+{int(x)}+{int(y)}", "-depth", "8", "txt:-"],
            capture_output=True, text=True, timeout=30, check=True).stdout
        match = re.search(r"#([0-9A-Fa-f]{6})", out)
        if not match:
            raise RuntimeError(f"no colour in {out!r}")
        value = match.group(1)
        return tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))

    def screenshot(self, path, crop=None):
        """Saves the whole screen (or crop=(x, y, width, height)) as an image file."""
        command = ["import", "-display", self.display, "-window", "root"]
        if crop:
            x, y, w, h = crop
            command += ["-crop", f"{int(w)}x{int(h)}+{int(x)}+{int(y)}", "+repage"]
        subprocess.run(command + [str(path)], capture_output=True, timeout=30, check=True)

    def click(self, x, y, button=1, double=False):
        """A real mouse click at screen position x, y (through the X test extension)."""
        pyatspi.Registry.generateMouseEvent(int(x), int(y), f"b{button}{'d' if double else 'c'}")

    def type(self, text):
        """Real key presses into the focused window (through the X test
        extension), one character at a time; a character without a key on the
        keyboard (kana) is given one for the moment by the registry."""
        for character in text:
            pyatspi.Registry.generateKeyboardEvent(0, character, pyatspi.KEY_STRING)
            time.sleep(0.05)


# ---------------------------------------------------------------- data folder

# The single-instance lock in the data folder, there while a program runs.
LOCK_FILE = "tessaline.lock"
# The undo history: the lists and profiles before each change.
HISTORY_FOLDER = "history"


class DataFolder:
    """The program's data folder of one test case: $XDG_DATA_HOME/Tessaline/Data.

    It is not created in advance: call create() (or write a file) to have it,
    leave it alone to test a first start.
    """

    def __init__(self, data_home):
        self.path = os.path.join(data_home, "Tessaline", "Data")

    def file(self, name):
        return os.path.join(self.path, name)

    def create(self):
        os.makedirs(self.path, mode=0o700, exist_ok=True)
        return self.path

    def write(self, name, content):
        """Writes a file; content is bytes, or a list of records (see record_bytes)."""
        self.create()
        if not isinstance(content, (bytes, bytearray)):
            content = record_bytes(content)
        with open(self.file(name), "wb") as f:
            f.write(content)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def records(self, name, lines_per_record=FIELD_COUNT):
        return parse_records(self.read(name), lines_per_record)

    def exists(self, name=None):
        return os.path.exists(self.file(name) if name else self.path)

    def mode(self, name=None):
        """The permission bits of a file (or of the folder itself), e.g. 0o600."""
        return os.stat(self.file(name) if name else self.path).st_mode & 0o777

    def names(self):
        """The files in the folder, but the lock file of a running program and
        the undo history's folder."""
        if not os.path.isdir(self.path):
            return []
        return sorted(name for name in os.listdir(self.path) if name not in (LOCK_FILE, HISTORY_FOLDER))


# ---------------------------------------------------------------- accessibles

def role_name(role):
    return _ROLE_ALIASES.get(role, role)


def _role(acc):
    return acc.getRoleName()


def _children(acc):
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield child


def find_in(root, name=None, role=None, skip_tables=True):
    """Every accessible under root (root included) with that name and/or role.

    The insides of tables and lists are skipped (a grid of 10000 rows would
    take minutes) unless skip_tables is False.
    """
    wanted = role_name(role) if role else None
    found = []
    stack = [root]
    while stack:
        acc = stack.pop()
        r = _role(acc)
        if (name is None or acc.name == name) and (wanted is None or r == wanted):
            found.append(acc)
        if skip_tables and acc is not root and r in ("table", "list", "tree table"):
            continue
        stack.extend(reversed(list(_children(acc))))
    return found


def extents(acc):
    """(x, y, width, height) of an accessible, in screen coordinates."""
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def centre(acc):
    x, y, w, h = extents(acc)
    return (x + w // 2, y + h // 2)


def is_enabled(acc):
    states = acc.getState()
    return states.contains(pyatspi.STATE_ENABLED) and states.contains(pyatspi.STATE_SENSITIVE)


def is_showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def text_of(acc):
    """The whole text of a text box or label."""
    text = acc.queryText()
    return text.getText(0, text.characterCount)


class Message:
    """A message box of the program (a window of role "alert").

    title: its window title ("Tessaline", "プログラムエラー");
    text: its message, lines joined by "\\n";
    ok(): presses its OK button (the box closes, the program goes on).
    """

    def __init__(self, acc):
        self.acc = acc
        self.title = acc.name
        labels = [a for a in find_in(acc, role="label") if a.name]
        self.text = "\n".join(label.name for label in labels)
        self.buttons = [b.name for b in find_in(acc, role="push button")]

    def press(self, caption):
        for button in find_in(self.acc, role="push button"):
            if button.name == caption:
                button.queryAction().doAction(0)
                return
        raise AssertionError(f"message box has no button {caption!r}; it has {self.buttons}")

    def ok(self):
        self.press("OK")

    def __repr__(self):
        return f"Message(title={self.title!r}, text={self.text!r})"


# ---------------------------------------------------------------- the program

class App:
    """One running tessaline process and its accessible tree.

    Created by Session.start(); attributes: pid, popen, desktop.
    """

    def __init__(self, popen, desktop):
        self.popen = popen
        self.pid = popen.pid
        self.desktop = desktop
        self._root = None
        self._combos = {}

    # --- the process

    def running(self):
        return self.popen.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the process to end and returns its exit code."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessTimeout(f"tessaline (pid {self.pid}) still runs after {timeout:.1f} s") from None

    def kill(self, sig=signal.SIGKILL):
        """Stops the process by its id (SIGKILL unless told) and reaps it."""
        if self.popen.poll() is None:
            try:
                os.kill(self.pid, sig)
            except ProcessLookupError:
                pass
            try:
                self.popen.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.kill(self.pid, signal.SIGKILL)
                self.popen.wait(timeout=5)

    # --- the accessible tree

    def root(self, timeout=DEFAULT_TIMEOUT):
        """The application's accessible, found on the desktop by process id."""
        if self._root is not None:
            try:
                if self._root.childCount >= 0 and self.running():
                    return self._root
            except Exception:  # noqa: BLE001 - the old proxy died
                pass
            self._root = None

        def lookup():
            if not self.running():
                raise AssertionError(f"tessaline ended with code {self.popen.returncode}")
            desktop = pyatspi.Registry.getDesktop(0)
            for app in _children(desktop):
                try:
                    if app.get_process_id() == self.pid:
                        return app
                except Exception:  # noqa: BLE001 - a vanishing application
                    continue
            return None

        self._root = wait_for(lookup, timeout, f"tessaline (pid {self.pid}) on the accessibility bus")
        return self._root

    def windows(self):
        """The program's top-level windows now showing, as (role, name, accessible)."""
        return [(_role(w), w.name, w) for w in _children(self.root()) if is_showing(w)]

    def wait_dialogs_closed(self, what="the dialog to close"):
        """Waits until no dialog window of the program is showing."""
        wait_for(lambda: not any(role == "dialog" for role, _, _ in self.windows()), what=what)

    def find_all(self, name=None, role=None):
        """Every showing or hidden control with that name and/or role, now."""
        return find_in(self.root(), name, role)

    def find(self, name, role=None, timeout=DEFAULT_TIMEOUT):
        """Waits for the one control with that accessible name (and role) and returns it.

        A combo box is found by its accessible name even after an entry was
        chosen, although Qt on Linux then names it by the chosen entry.
        """
        label = f"{role_name(role) if role else 'control'} {name!r}"

        def lookup():
            hit = next(iter(find_in(self.root(), name, role)), None)
            if role_name(role) == "combo box":
                if hit is not None:
                    self._combos[name] = hit
                else:
                    hit = self._renamed_combo(name)
            return hit

        return wait_for(lookup, timeout, label)

    def _renamed_combo(self, name):
        # Remembered from an earlier find, or else the window's only combo box.
        combo = self._combos.get(name)
        if combo is not None:
            try:
                if _role(combo) == "combo box":
                    return combo
            except Exception:  # noqa: BLE001 - the widget went away
                del self._combos[name]
        combos = find_in(self.root(), role="combo box")
        return combos[0] if len(combos) == 1 else None

    def window(self, name="Tessaline", role=None, timeout=DEFAULT_TIMEOUT):
        """Waits for a showing top-level window by name (and role) and returns it."""
        wanted = role_name(role) if role else None

        def lookup():
            for r, n, w in self.windows():
                if n == name and (wanted is None or r == wanted) and r != "alert":
                    return w
            return None

        return wait_for(lookup, timeout, f"window {name!r}")

    def wait_form1(self, timeout=DEFAULT_TIMEOUT):
        """Waits until the contact list window shows its grid; returns the grid."""
        return self.find("連絡先一覧", "table", timeout)

    def enabled(self, name, role=None):
        return is_enabled(self.find(name, role))

    def press(self, caption, timeout=DEFAULT_TIMEOUT):
        """Presses a push button by its caption (its default action)."""
        button = self.find(caption, "push button", timeout)
        button.queryAction().doAction(0)

    # --- message boxes

    def messages(self):
        """The message boxes showing now."""
        return [Message(w) for r, _, w in self.windows() if r == "alert"]

    def wait_message(self, timeout=DEFAULT_TIMEOUT):
        """Waits for a message box and returns it (a Message) without closing it."""
        def lookup():
            boxes = self.messages()
            return boxes[0] if boxes and boxes[0].buttons else None
        return wait_for(lookup, timeout, "a message box")

    def expect_message(self, timeout=DEFAULT_TIMEOUT):
        """Waits for a message box, presses its OK button and returns it (a Message)."""
        message = self.wait_message(timeout)
        message.ok()
        wait_for(lambda: not any(m.acc == message.acc for m in self.messages()) or not self.running(),
                 timeout, "the message box to close")
        return message

    def assert_no_message(self, within=1.0):
        """Fails if a message box shows within `within` seconds."""
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            boxes = self.messages()
            if boxes:
                raise AssertionError(f"unexpected message box: {boxes[0]!r}")
            time.sleep(POLL)

    # --- text boxes and combo boxes

    def set_text(self, name, text):
        """Replaces the whole text of a text box named `name`."""
        self.find(name, "text").queryEditableText().setTextContents(text)

    def text(self, name):
        """The text of a text box named `name`."""
        return text_of(self.find(name, "text"))

    def combo_entries(self, name):
        """The entries of a combo box, in order."""
        combo = self.find(name, "combo box")
        return [item.name for lst in find_in(combo, role="list", skip_tables=False)
                for item in _children(lst)]

    def combo_text(self, name):
        """The chosen entry of a combo box, "" when none is chosen.

        Qt on Linux names a combo box by its chosen entry and falls back to
        the accessible name while none is chosen.
        """
        combo = self.find(name, "combo box")
        return combo.name if combo.name in self.combo_entries(name) else ""

    def choose(self, name, entry, timeout=DEFAULT_TIMEOUT):
        """Chooses an entry of a drop-down combo box by its text, with real mouse clicks.

        Opens the list with a click on the box, moves the pointer onto the
        entry and clicks it, as a user does (a popup takes a click only on
        the entry under the pointer).
        """
        combo = self.find(name, "combo box")
        lst = find_in(combo, role="list", skip_tables=False)[0]
        names = [item.name for item in _children(lst)]
        if entry not in names:
            raise AssertionError(f"combo box {name!r} has no entry {entry!r}; it has {names}")
        self.click(combo)
        wait_for(lambda: is_showing(lst), timeout, f"the list of combo box {name!r} to open")
        item = lst.getChildAtIndex(names.index(entry))
        x, y = wait_for(lambda: centre(item) if extents(item)[3] > 0 else None, timeout,
                        f"entry {entry!r} on screen")
        pyatspi.Registry.generateMouseEvent(x, y, "abs")
        time.sleep(0.2)
        self.click((x, y))
        wait_for(lambda: not is_showing(lst), timeout, f"the list of combo box {name!r} to close")

    # --- the contact grid

    def grid(self):
        return self.find("連絡先一覧", "table")

    def grid_rows(self):
        """The number of grid rows, the heading row included (RowCount + 1)."""
        return self.grid().queryTable().nRows + 1

    def grid_cols(self):
        """The number of grid columns, the check column included (21)."""
        return self.grid().queryTable().nColumns + 1

    def grid_cell_accessible(self, row, col):
        """The accessible of a grid cell in the program's numbering.

        Row 0 is the heading row (its column 0 is the empty corner), column 0
        the check column; Qt lays a table's children out row by row with the
        row header first, so the child index is row * 21 + col.
        """
        grid = self.grid()
        cols = grid.queryTable().nColumns + 1
        return grid.getChildAtIndex(row * cols + col)

    def grid_cell(self, row, col):
        """The text of a grid cell: headings in row 0, "ON"/"OFF" in column 0."""
        return self.grid_cell_accessible(row, col).name

    def grid_row(self, row):
        """The 21 texts of one grid row, check cell first."""
        return [self.grid_cell(row, c) for c in range(self.grid_cols())]

    def grid_headings(self):
        """The headings of columns 1 to 20."""
        return [self.grid_cell(0, c) for c in range(1, self.grid_cols())]

    def grid_data(self):
        """Every data row as its 20 field texts (check cells left out)."""
        return [self.grid_row(r)[1:] for r in range(1, self.grid_rows())]

    def grid_checks(self):
        """The check cell texts of every data row."""
        return [self.grid_cell(r, 0) for r in range(1, self.grid_rows())]

    # --- the screen

    def click(self, acc_or_point, button=1, double=False):
        """A real mouse click at the centre of an accessible, or at (x, y)."""
        x, y = acc_or_point if isinstance(acc_or_point, tuple) else centre(acc_or_point)
        self.desktop.click(x, y, button, double)

    def click_cell(self, row, col, double=False):
        """A real mouse click at the centre of a grid cell (it must be on screen)."""
        self.click(self.grid_cell_accessible(row, col), double=double)

    def cell_colour(self, row, col, dx=3, dy=3):
        """The colour (r, g, b) on screen near the top left corner of a grid cell."""
        x, y, _, _ = extents(self.grid_cell_accessible(row, col))
        return self.desktop.pixel(x + dx, y + dy)

    def screenshot(self, path, acc=None):
        """Saves the screen, or only the area of an accessible, as an image file."""
        self.desktop.screenshot(path, extents(acc) if acc is not None else None)


class Session:
    """One test case's temporary folder and the programs started in it.

    Attributes: folder, data_home (XDG_DATA_HOME), runtime_dir
    (XDG_RUNTIME_DIR, mode 0700), data (a DataFolder), desktop, apps.
    close() kills every program still running and removes the folder.
    """

    def __init__(self, desktop=None):
        self.desktop = desktop or Desktop.get()
        self.folder = tempfile.mkdtemp(prefix="tessaline-e2e-")
        self.data_home = os.path.join(self.folder, "data")
        self.runtime_dir = os.path.join(self.folder, "runtime")
        os.mkdir(self.data_home, 0o700)
        os.mkdir(self.runtime_dir, 0o700)
        self.data = DataFolder(self.data_home)
        self.apps = []
        self.binary = os.environ.get("TESSALINE_BIN")
        if not self.binary or not os.access(self.binary, os.X_OK):
            raise unittest.SkipTest("TESSALINE_BIN does not name the tessaline program")

    def env(self, runtime_dir=""):
        env = {k: v for k, v in os.environ.items() if k not in ("AT_SPI_BUS_ADDRESS", "QT_QPA_PLATFORM")}
        env.update(self.desktop.env)
        env.update({"XDG_DATA_HOME": self.data_home, "XDG_RUNTIME_DIR": self.runtime_dir,
                    "LC_ALL": "C.UTF-8", "LANG": "C.UTF-8"})
        if runtime_dir is None:
            del env["XDG_RUNTIME_DIR"]
        elif runtime_dir:
            env["XDG_RUNTIME_DIR"] = runtime_dir
        return env

    def launch(self, runtime_dir=""):
        """Starts the program and returns at once (an App; nothing awaited).

        runtime_dir: another XDG_RUNTIME_DIR for this program (as another
        session of the user has), or None for none at all.
        """
        log = open(os.path.join(self.folder, f"tessaline-{len(self.apps)}.log"), "wb")
        popen = subprocess.Popen([self.binary], env=self.env(runtime_dir), stdout=log,
                                 stderr=subprocess.STDOUT, cwd=self.folder,
                                 start_new_session=True, preexec_fn=_die_with_parent)
        log.close()
        app = App(popen, self.desktop)
        self.apps.append(app)
        return app

    def start(self, timeout=DEFAULT_TIMEOUT):
        """Starts the program and waits for the contact list window's grid.

        Use launch() for starts that end in a message instead.
        """
        app = self.launch()
        app.wait_form1(timeout)
        return app

    def close(self):
        for app in self.apps:
            app.kill()
        shutil.rmtree(self.folder, ignore_errors=True)


class E2ETestCase(unittest.TestCase):
    """A test case with a fresh Session in self.session (data folder: self.data).

    self.launch() / self.start() start the program; every program started is
    killed when the case ends. On failure a screenshot is kept under the
    folder named by TESSALINE_E2E_SHOTS, when that variable is set.
    """

    def setUp(self):
        super().setUp()
        self.session = Session()
        self.data = self.session.data
        self.addCleanup(self.session.close)

    def launch(self):
        return self.session.launch()

    def start(self, timeout=DEFAULT_TIMEOUT):
        return self.session.start(timeout)
