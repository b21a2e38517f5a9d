#pragma once

#include <QByteArray>
#include <QStringEncoder>
#include <QStringView>

// One growing UTF-8 output buffer for a whole export. Values are encoded by
// one QStringEncoder into a scratch buffer that is reused, so writing 10000
// contacts allocates only when a buffer has to grow.
class Utf8Output {
public:
    explicit Utf8Output(qsizetype expectedSize);

    // Room for n more bytes at the end; returns where they go.
    char *reserveTail(qsizetype n)
    {
        if (out_.size() - used_ < n) [[unlikely]]
            grow(n);
        return out_.data() + used_;
    }
    void commitTail(char *end) { used_ = end - out_.data(); }

    void append(const char *bytes, qsizetype n);
    void append(QByteArrayView bytes) { append(bytes.data(), bytes.size()); }
    void appendUtf8Of(QStringView text);

    // The UTF-8 bytes of text in the scratch buffer, valid until the next call.
    QByteArrayView encode(QStringView text);

    QByteArrayView view() const { return QByteArrayView(out_.constData(), used_); }
    // Forgets what was written, keeping the buffer for what comes next.
    void clear() { used_ = 0; }
    // Forgets what was written after the first size bytes.
    void truncate(qsizetype size) { used_ = size; }
    QByteArray take();

private:
    void grow(qsizetype n);

    QByteArray out_;
    qsizetype used_ = 0;
    QByteArray scratch_;
    // Stateless: a lone surrogate at the end of one value is never carried
    // over into the next one.
    QStringEncoder encoder_{QStringConverter::Utf8, QStringConverter::Flag::Stateless};
};
