"""Takes the README's pictures of the real program under a private X server:
the splash, the contact list with data, a search hit, the editor, the
editor with a name put in and its reading filled, the profile window, the
ファイル menu, the vCard/CSV import's preview, the export's save dialog and an
error report, each at scale 1 and 2; and the first page of the printed list
(printed into a PDF through the print dialog, made a PNG with pdftoppm).

Run by scripts/screenshots.sh with Debian's /usr/bin/python3; the program is
the binary named by TESSALINE_BIN, the pictures go to the folder given as
the first argument.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import harness  # noqa: E402
from harness import Session, contact, extents, find_in, wait_for  # noqa: E402
from test_print import print_to_pdf  # noqa: E402

# A screen on which the contact list window fits at scale 2 as well.
SCREEN = "2400x1600x24"

CONTACTS = sorted([
    contact("あおき みさき", "青木 美咲", f1="090-1234-5678", f2="misaki.aoki@example.jp",
            f3="株式会社みなと商事", f4="営業部", f5="横浜市中区山下町1-2", f6="元町・中華街",
            f7="港の物流を支える営業をしています。", f8="主任", f10="045-123-4567",
            f16="みなとみらい交流会", f17="2024/04/12", f18="パシフィコ横浜"),
    contact("いとう けんじ", "伊藤 健二", f1="080-2345-6789", f2="k.ito@example.jp",
            f3="さくらソフト株式会社", f4="開発本部", f5="東京都渋谷区道玄坂2-3", f6="渋谷",
            f7="業務アプリの設計と開発をしています。", f8="課長", f16="技術勉強会", f17="2024/05/20",
            f18="渋谷ヒカリエ"),
    contact("うえだ さとみ", "上田 里美", f1="070-3456-7890", f2="satomi@example.jp",
            f3="上田デザイン事務所", f5="京都市中京区烏丸通", f6="烏丸御池",
            f7="和のデザインとロゴ制作を手がけています。", f8="代表", f16="京都クリエイター会",
            f17="2024/06/01", f18="京都市勧業館"),
    contact("おがわ だいすけ", "小川 大輔", f1="090-4567-8901", f2="d.ogawa@example.jp",
            f3="株式会社ひかり電機", f4="品質保証部", f5="大阪市北区梅田3-1", f6="大阪",
            f7="家電の品質保証を担当しています。", f8="係長", f16="関西ものづくり展",
            f17="2024/06/15", f18="インテックス大阪"),
    contact("かとう ゆい", "加藤 結衣", f1="080-5678-9012", f2="yui.kato@example.jp",
            f3="株式会社みなと商事", f4="広報室", f5="横浜市西区高島2-5", f6="横浜",
            f7="広報とイベント企画を担当しています。", f16="みなとみらい交流会",
            f17="2024/04/12", f18="パシフィコ横浜"),
    contact("きむら たくや", "木村 拓也", f1="090-6789-0123", f2="kimura@example.jp",
            f3="北斗建設株式会社", f4="設計部", f5="札幌市中央区北1条西", f6="大通",
            f7="公共施設の設計をしています。", f8="部長", f16="建築フォーラム", f17="2024/07/03",
            f18="札幌コンベンションセンター"),
    contact("さいとう あや", "斉藤 彩", f1="070-7890-1234", f2="aya.saito@example.jp",
            f3="フリーランス", f5="福岡市博多区博多駅前", f6="博多",
            f7="翻訳と通訳（英語・日本語）をしています。", f16="九州IT交流会", f17="2024/08/22",
            f18="博多国際展示場"),
    contact("たなか ひろし", "田中 博", f1="090-8901-2345", f2="h.tanaka@example.jp",
            f3="株式会社みなと商事", f4="経理部", f5="横浜市中区本町4-1", f6="馬車道",
            f7="経理と予算管理を担当しています。", f8="部長", f16="みなとみらい交流会",
            f17="2024/04/12", f18="パシフィコ横浜"),
], key=lambda record: record[9])

PROFILE = ["山本 花子", "090-1111-2222", "hanako@example.jp", "テッサライン株式会社", "企画部",
           "東京都千代田区丸の内1-1", "東京", "人と人をつなぐ仕事をしています。〜よろしくお願いします",
           "主任", "やまもと はなこ", "03-1234-5678", "", "03-1234-5679", "https://example.jp/",
           "", ""]


def start_desktop():
    """The harness's private X server, on a screen large enough for scale 2."""
    real_popen = subprocess.Popen

    def popen(args, *rest, **kw):
        if args and args[0] == "Xvfb":
            args = [SCREEN if a == "1280x1024x24" else a for a in args]
        return real_popen(args, *rest, **kw)

    subprocess.Popen = popen
    try:
        return harness.Desktop.get()
    finally:
        subprocess.Popen = real_popen


# Cards for the import preview: one replaces a listed contact, one shares a
# listed phone number, one has no reading, one a character that code page
# 932 can't store and a birthday the list has no place for.
CARDS = (
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:青木 美咲\r\nX-PHONETIC-LAST-NAME:アオキ\r\n"
    "X-PHONETIC-FIRST-NAME:ミサキ\r\nTEL;TYPE=CELL:090-1234-9999\r\nORG:株式会社みなと商事;営業部\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:青木 みさき\r\nX-PHONETIC-LAST-NAME:アオキ\r\n"
    "X-PHONETIC-FIRST-NAME:ミサキ\r\nTEL;TYPE=CELL:+81 90-1234-5678\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:中村 翔太\r\nTEL;TYPE=CELL:080-1111-2222\r\n"
    "EMAIL:shota@example.jp\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:𠮷田 花\r\nX-PHONETIC-LAST-NAME:ヨシダ\r\n"
    "X-PHONETIC-FIRST-NAME:ハナ\r\nNOTE:よろしくお願いします😀\r\nBDAY:1990-04-01\r\nEND:VCARD\r\n"
).encode()


def interchange(app, out, suffix, scale, folder):
    """The ファイル menu open, the import's preview and the export's save dialog."""
    app.click(app.find("ファイル(F)", "menu item"))
    menu = wait_for(lambda: next((w for r, n, w in app.windows() if r == "popup menu"), None)
                    or next((m for m in app.find_all(role="popup menu") if harness.is_showing(m)), None),
                    what="the ファイル menu")
    shot(app, os.path.join(out, f"file-menu-{suffix}.png"), scale)
    app.click(app.find("ファイル(F)", "menu item"))
    wait_for(lambda: not harness.is_showing(menu), what="the menu to close")

    path = os.path.join(folder, "連絡先.vcf")
    with open(path, "wb") as f:
        f.write(CARDS)
    app.find("vCard・CSV を取り込む…", "menu item").queryAction().doAction(0)
    dialog = app.window("vCard・CSV を取り込む", "dialog")
    find_in(dialog, "File name:", "text")[0].queryEditableText().setTextContents(path)
    find_in(dialog, "Open", "push button")[0].queryAction().doAction(0)
    preview = app.window("取り込む連絡先の確認", "dialog")
    shot(app, os.path.join(out, f"import-preview-{suffix}.png"), scale, preview)
    find_in(preview, "キャンセル", "push button")[0].queryAction().doAction(0)
    wait_for(lambda: all(r != "dialog" for r, _, _ in app.windows()), what="the preview to close")

    app.find("vCard で書き出す…", "menu item").queryAction().doAction(0)
    save = app.window("vCard で書き出す", "dialog")
    shot(app, os.path.join(out, f"export-dialog-{suffix}.png"), scale, save)
    find_in(save, "Cancel", "push button")[0].queryAction().doAction(0)
    wait_for(lambda: all(r != "dialog" for r, _, _ in app.windows()), what="the save dialog to close")


def move_pointer(x, y, name):
    harness.pyatspi.Registry.__class__.generateMouseEvent(harness.pyatspi.Registry, x, y, name)


def window_box(app, scale):
    """The screen area of the program's showing windows, in screen pixels."""
    boxes = [extents(w) for _, _, w in app.windows()]
    left = min(b[0] for b in boxes)
    top = min(b[1] for b in boxes)
    right = max(b[0] + b[2] for b in boxes)
    bottom = max(b[1] + b[3] for b in boxes)
    return [v * scale for v in (left, top, right - left, bottom - top)]


def shot(app, path, scale, acc=None):
    time.sleep(0.5)  # let the last repaint reach the screen
    area = [v * scale for v in extents(acc)] if acc is not None else window_box(app, scale)
    app.desktop.screenshot(path, area)
    print(path)


def splash(session, path, scale):
    """The splash shows while the program sleeps and answers nobody, so the
    screen is watched until the picture stands on the black root window."""
    app = session.launch()
    raw = path + ".raw.png"
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        session.desktop.screenshot(raw)
        size = subprocess.run(["convert", raw, "-trim", "-format", "%w %h", "info:"],
                              capture_output=True, text=True, check=True).stdout.split()
        # 6315 × 3825 twips
        if [int(v) for v in size] == [421 * scale, 255 * scale]:
            subprocess.run(["convert", raw, "-trim", "+repage", path], check=True)
            os.remove(raw)
            print(path)
            return app
        time.sleep(0.1)
    raise AssertionError("the splash never showed")


def take(out, scale):
    os.environ["QT_SCALE_FACTOR"] = str(scale)
    # Qt tells positions in device-independent pixels; the pointer moves in
    # screen pixels.
    registry = harness.pyatspi.Registry
    registry.generateMouseEvent = lambda x, y, name: move_pointer(int(x * scale), int(y * scale), name)
    suffix = f"x{scale}"

    session = Session()
    try:
        session.data.write("load.txt", CONTACTS)
        session.data.write("myload.txt", [PROFILE])

        app = splash(session, os.path.join(out, f"splash-{suffix}.png"), scale)
        app.wait_form1()
        shot(app, os.path.join(out, f"contact-list-{suffix}.png"), scale)

        app.set_text("検索文字列", "みなと")
        app.choose("検索項目", "所属先1")
        app.press("検索")
        shot(app, os.path.join(out, f"search-hit-{suffix}.png"), scale)

        app.press("更新画面")
        editor = wait_for(lambda: next((w for r, n, w in app.windows() if r == "dialog"), None),
                          what="the editor")
        shot(app, os.path.join(out, f"editor-{suffix}.png"), scale, editor)
        # A name given without the input method: the reading is guessed and
        # selected, so that typing replaces it.
        app.set_text("氏名ふりがな", "")
        app.set_text("氏名", "佐藤 翔太")
        wait_for(lambda: app.text("氏名ふりがな") == "さとう　しょうた", what="the reading to fill")
        shot(app, os.path.join(out, f"reading-fill-{suffix}.png"), scale, editor)
        app.press("戻る")
        wait_for(lambda: all(r != "dialog" for r, _, _ in app.windows()), what="the editor to close")

        app.press("本人画面")
        profile = wait_for(lambda: next((w for r, n, w in app.windows() if r == "dialog"), None),
                           what="the profile window")
        shot(app, os.path.join(out, f"profile-{suffix}.png"), scale, profile)
        app.press("戻る")
        wait_for(lambda: all(r != "dialog" for r, _, _ in app.windows()), what="the profile to close")
        interchange(app, out, suffix, scale, os.path.dirname(session.data.path))
        if scale == 1:
            pdf = os.path.join(session.folder, "printed.pdf")
            print_to_pdf(app, pdf)
            subprocess.run(["pdftoppm", "-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf,
                            os.path.join(out, "printed-page")], check=True)
        app.press("終了")
        app.wait_exit()
    finally:
        session.close()

    session = Session()
    try:
        # A list whose bytes aren't code page 932 is reported, never altered.
        session.data.write("load.txt", harness.record_bytes(CONTACTS[:2]) + b"\x81\x20\r\n" * 20)
        app = session.launch()
        app.wait_message(timeout=30)
        shot(app, os.path.join(out, f"error-report-{suffix}.png"), scale)
    finally:
        session.close()


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    start_desktop()
    for scale in (1, 2):
        take(out, scale)


if __name__ == "__main__":
    main()
