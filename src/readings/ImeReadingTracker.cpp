#include "readings/ImeReadingTracker.h"

#include "readings/Kana.h"
#include "shell/BasCommn.h"

namespace {

bool allBlanks(QStringView text)
{
    for (QChar c : text) {
        if (!isBlank(c))
            return false;
    }
    return !text.isEmpty();
}

// A pre-edit of kana ending in one romaji n (やまもとけｎ): the input method
// turns that n into ん when it converts, so it counts as kana + ん.
QString kanaOfPreedit(QStringView preedit)
{
    const qsizetype n = preedit.size();
    if (n >= 2 && (preedit[n - 1] == u'n' || preedit[n - 1] == u'ｎ') && isKanaReading(preedit.first(n - 1)))
        return toStoredReading(preedit.first(n - 1)) + u'ん';
    if (isKanaReading(preedit))
        return toStoredReading(preedit);
    return {};
}

bool hasKanji(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || c.isSurrogate() || u == 0x3005)
            return true;
    }
    return false;
}

// Kana with letters in it: a pre-edit committed before its romaji became
// kana.
bool isRawPreedit(QStringView text)
{
    bool kana = false;
    bool letter = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        kana = kana || isKanaChar(c);
        letter = letter || (u < 0x80 && c.isLetter()) || (u >= 0xFF21 && u <= 0xFF5A);
    }
    return kana && letter;
}

} // namespace

void ImeReadingTracker::reset(QStringView text)
{
    m_text = text.toString();
    m_segments.clear();
    if (!text.isEmpty())
        m_segments.append(plainSegment(text));
    m_kana.clear();
    m_composing = false;
    m_justCleared = false;
    m_imeRemoval = false;
    m_reconvertReading.reset();
    m_pending.reset();
    m_lastCommitSegment = -1;
    m_lastCommitKana.clear();
    m_lastFilled.clear();
}

ImeReadingTracker::Segment ImeReadingTracker::plainSegment(QStringView text) const
{
    Segment s;
    s.length = text.size();
    if (allBlanks(text) || isKanaReading(text)) {
        s.reading = toStoredReading(text);
        s.known = true;
    }
    return s;
}

void ImeReadingTracker::commitEvent(QStringView commit, int replacementLength)
{
    PendingCommit pending;
    pending.text = commit.toString();
    if (allBlanks(commit) || isKanaReading(commit)) {
        pending.reading = toStoredReading(commit);
        pending.fromIme = !m_kana.isEmpty() && !allBlanks(commit);
    } else if (isRawPreedit(commit)) {
        // The pre-edit committed as it stood, romaji and all (やまｄ): no
        // kana to go by.
    } else if (!m_kana.isEmpty() && (m_composing || m_justCleared)) {
        pending.reading = m_kana;
        pending.fromIme = true;
    } else if (m_reconvertReading) {
        pending.reading = m_reconvertReading;
        pending.fromIme = m_reconvertFromIme;
    }
    // With no reading yet, a commit that replaces whole segments takes
    // theirs when the text changes.
    m_imeRemoval = replacementLength > 0;
    m_lastCommitKana = pending.fromIme ? *pending.reading : QString();
    m_pending = std::move(pending);
    m_kana.clear();
    m_composing = false;
    m_justCleared = false;
    m_reconvertReading.reset();
}

void ImeReadingTracker::inputMethodEvent(QStringView preedit, QStringView commit, int replacementLength)
{
    if (!commit.isEmpty()) {
        commitEvent(commit, replacementLength);
    } else if (replacementLength > 0) {
        // The input method takes committed text back (reconversion).
        m_imeRemoval = true;
    }

    if (preedit.isEmpty()) {
        if (commit.isEmpty() && m_composing) {
            // Escape, or an input method that clears the pre-edit just
            // before it commits: the kana is kept for a commit that follows
            // at once and dropped by anything else.
            m_justCleared = true;
        }
        m_composing = false;
        return;
    }

    const QString kana = kanaOfPreedit(preedit);
    if (m_lastCommitSegment >= 0 && m_lastCommitSegment < m_segments.size() && commit.isEmpty()) {
        // The first pre-edit after a commit: the rest of one composition,
        // or a new one.
        Segment &committed = m_segments[m_lastCommitSegment];
        if (!kana.isEmpty() && m_lastCommitKana.size() > kana.size() && m_lastCommitKana.endsWith(kana)) {
            committed.reading = m_lastCommitKana.chopped(kana.size());
            m_kana = kana;
            m_composing = true;
            m_lastCommitSegment = -1;
            return;
        }
        if (hasKanji(preedit) && !m_lastCommitKana.isEmpty()) {
            committed.known = false;
            committed.reading.clear();
        }
        m_lastCommitSegment = -1;
    }
    if (!m_composing)
        m_kana.clear(); // a new composition
    m_composing = true;
    m_justCleared = false;
    if (!kana.isEmpty())
        m_kana = kana;
}

void ImeReadingTracker::textChanged(QStringView text)
{
    const QStringView old = m_text;
    const qsizetype oldLen = old.size();
    const qsizetype newLen = text.size();
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(oldLen, newLen);
    while (prefix < shorter && old[prefix] == text[prefix])
        ++prefix;

    qsizetype at = -1;
    qsizetype removed = 0;
    qsizetype insertedLen = 0;
    if (m_pending) {
        // Where the commit went in: the place that explains the change with
        // the committed text inserted whole.
        const qsizetype cl = m_pending->text.size();
        for (qsizetype p = std::min(prefix, newLen - cl); p >= 0; --p) {
            const QStringView rest = text.mid(p + cl);
            if (text.mid(p, cl) == m_pending->text && (rest.isEmpty() || old.endsWith(rest)) && oldLen - rest.size() >= p) {
                at = p;
                insertedLen = cl;
                removed = oldLen - rest.size() - p;
                break;
            }
        }
    }
    bool asCommit = at >= 0;
    if (!asCommit) {
        qsizetype suffix = 0;
        while (suffix < shorter - prefix && old[oldLen - 1 - suffix] == text[newLen - 1 - suffix])
            ++suffix;
        at = prefix;
        removed = oldLen - suffix - prefix;
        insertedLen = newLen - suffix - prefix;
    }

    if (removed > 0 || insertedLen > 0) {
        m_lastCommitSegment = -1;
        applyChange(at, removed, text.mid(at, insertedLen), asCommit ? &*m_pending : nullptr);
    }
    m_pending.reset();
    if (!asCommit && !m_composing && (removed > 0 || insertedLen > 0) && !m_imeRemoval) {
        m_kana.clear();
        m_justCleared = false;
    }
    m_imeRemoval = false;
    m_text = text.toString();
}

void ImeReadingTracker::applyChange(qsizetype at, qsizetype removed, QStringView inserted, const PendingCommit *commit)
{
    // Remove [at, at + removed): a segment that loses its last character
    // goes with its reading, one that loses some keeps it.
    QString removedReading;
    bool removedWhole = removed > 0;
    bool removedFromIme = false;
    qsizetype start = 0;
    for (int i = 0; i < m_segments.size();) {
        Segment &s = m_segments[i];
        const qsizetype end = start + s.length;
        const qsizetype cut = std::max<qsizetype>(0, std::min(end, at + removed) - std::max(start, at));
        start = end;
        if (cut > 0 && cut == s.length) {
            if (s.known)
                removedReading += s.reading;
            else
                removedWhole = false;
            removedFromIme = removedFromIme || s.fromIme;
            m_segments.removeAt(i);
            continue;
        }
        if (cut > 0) {
            removedWhole = false;
            s.length -= cut;
        }
        ++i;
    }
    if (m_imeRemoval && removedWhole) {
        m_reconvertReading = removedReading;
        m_reconvertFromIme = removedFromIme;
    }
    if (inserted.isEmpty())
        return;

    // Insert at `at`; inside a segment, that segment splits and its reading
    // stays with the first piece.
    int index = int(m_segments.size());
    start = 0;
    for (int i = 0; i < m_segments.size(); ++i) {
        const qsizetype end = start + m_segments[i].length;
        if (at <= start) {
            index = i;
            break;
        }
        if (at < end) {
            Segment tail;
            tail.length = end - at;
            tail.known = m_segments[i].known;
            m_segments[i].length = at - start;
            m_segments.insert(i + 1, tail);
            index = i + 1;
            break;
        }
        start = end;
    }

    Segment s;
    if (commit) {
        s.length = inserted.size();
        s.fromIme = commit->fromIme;
        if (commit->reading) {
            s.reading = *commit->reading;
            s.known = true;
        } else if (m_reconvertReading) {
            s.reading = *m_reconvertReading;
            s.known = true;
            s.fromIme = s.fromIme || m_reconvertFromIme;
        }
        m_reconvertReading.reset();
    } else {
        s = plainSegment(inserted);
    }
    m_segments.insert(index, s);
    if (commit && commit->fromIme)
        m_lastCommitSegment = index;
}

std::optional<QString> ImeReadingTracker::reading() const
{
    QString out;
    for (const Segment &s : m_segments) {
        if (!s.known)
            return std::nullopt;
        out += s.reading;
    }
    return out;
}

bool ImeReadingTracker::hasImeReading() const
{
    for (const Segment &s : m_segments) {
        if (s.fromIme)
            return true;
    }
    return false;
}

bool ImeReadingTracker::mayFill(QStringView readingBoxText) const
{
    return readingBoxText.isEmpty() || (!m_lastFilled.isEmpty() && readingBoxText == m_lastFilled);
}

std::optional<QString> ImeReadingTracker::readingToFill(QStringView readingBoxText)
{
    if (!mayFill(readingBoxText))
        return std::nullopt;
    const std::optional<QString> r = reading();
    if (!r || (!hasImeReading() && m_lastFilled.isEmpty()) || *r == readingBoxText)
        return std::nullopt;
    m_lastFilled = *r;
    return r;
}

void ImeReadingTracker::noteFilled(const QString &reading)
{
    m_lastFilled = reading;
}
