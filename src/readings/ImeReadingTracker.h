#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Follows what the user types into the name box through an input method and
// works out the name's kana reading from the pre-edit text seen before each
// conversion, so that the reading box can fill itself. Pure logic: the
// window feeds it the box's input method events and text changes.
//
// The name's text is kept as segments, each with the reading it came with:
// - a commit of converted text gets the last pre-edit of that composition
//   that was kana only (やまだ for 山田); pre-edits with romaji in them
//   (やまｄ) are skipped, a pre-edit ending in a single n counts as ending in
//   ん, as the input method converts it so; katakana becomes hiragana;
// - a commit or a typed text of kana and blanks is its own reading (a blank
//   typed between family and given name is kept as typed);
// - anything else (pasted text, letters typed without the input method, a
//   conversion whose kana was never seen) has no known reading, and then
//   the whole name has none (reading() is empty) and the window may guess.
// A conversion cancelled with Escape (pre-edit cleared, nothing committed)
// adds nothing. Reconversion (the input method removes committed text and
// commits new text in its place) keeps the removed segments' reading unless
// kana was typed anew. A commit that leaves converted text in the pre-edit
// (committing the first of several phrases) can't be split and its reading
// becomes unknown; one that leaves kana is split off the end.
//
// Deleting text removes a segment's reading only with the segment's last
// character: deleting 郎 from 太郎 keeps たろう, as there is no telling which
// kana went with it.
class ImeReadingTracker
{
public:
    // Starts over with the name box holding text (a contact opened in the
    // editor): its reading is unknown unless it is kana.
    void reset(QStringView text = {});

    // Each QInputMethodEvent the name box receives, before the box applies
    // it: preeditString(), commitString(), replacementLength(). Where the
    // replaced text lay shows in the text change that follows.
    void inputMethodEvent(QStringView preedit, QStringView commit, int replacementLength = 0);

    // The name box's whole text after every change (textChanged).
    void textChanged(QStringView text);

    // The reading of the whole name, when every part of it is known.
    std::optional<QString> reading() const;

    // Whether some part's reading came from an input method's pre-edit.
    bool hasImeReading() const;

    // What the reading box should hold now, or nothing when it must be left
    // alone: the box is filled only while it is empty or still holds exactly
    // what was last filled by this tracker (a reading the user typed or
    // edited is never overwritten), and only from a reading typed through
    // the input method.
    std::optional<QString> readingToFill(QStringView readingBoxText);

    // Whether the reading box may be filled by the program now (empty, or
    // still what the program put there).
    bool mayFill(QStringView readingBoxText) const;

    // Notes a reading the window put into the reading box by other means (a
    // guess), so that it counts as the program's own.
    void noteFilled(const QString &reading);

private:
    struct Segment {
        qsizetype length = 0;
        QString reading;
        bool known = false;
        bool fromIme = false;
    };
    struct PendingCommit {
        QString text;
        std::optional<QString> reading;
        bool fromIme = false;
    };

    Segment plainSegment(QStringView text) const;
    void applyChange(qsizetype at, qsizetype removed, QStringView inserted, const PendingCommit *commit);
    void commitEvent(QStringView commit, int replacementLength);

    QString m_text;
    QList<Segment> m_segments;
    QString m_kana;             // last kana-only pre-edit of the composition
    bool m_composing = false;   // a pre-edit is showing
    bool m_justCleared = false; // the pre-edit was cleared without a commit
    bool m_imeRemoval = false;  // the next text change is the input method's
    std::optional<QString> m_reconvertReading;
    // Whether the text taken back for reconversion had its reading from the
    // input method (then so does what replaces it).
    bool m_reconvertFromIme = false;
    std::optional<PendingCommit> m_pending;
    // The last commit, until the next pre-edit tells whether it was all.
    int m_lastCommitSegment = -1;
    QString m_lastCommitKana;
    QString m_lastFilled;
};
