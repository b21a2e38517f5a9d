#pragma once

#include <QString>
#include <QStringView>

// The form in which two mail addresses are compared to find a contact that
// may already be listed: blanks of both widths trimmed, full-width letters
// made half-width (NFKC: ａｂｃ＠ｅｘ．ｊｐ is abc@ex.jp) and letter case
// folded. Empty for a blank text.
QString mailKey(QStringView mail);
