#include "interchange/Utf8Output.h"

#include <algorithm>
#include <cstring>

Utf8Output::Utf8Output(qsizetype expectedSize)
{
    out_.resize(std::max<qsizetype>(expectedSize, 256));
}

void Utf8Output::grow(qsizetype n)
{
    out_.resize(std::max(2 * out_.size(), used_ + n));
}

void Utf8Output::append(const char *bytes, qsizetype n)
{
    char *p = reserveTail(n);
    std::memcpy(p, bytes, size_t(n));
    used_ += n;
}

void Utf8Output::appendUtf8Of(QStringView text)
{
    // UTF-8 takes at most three bytes for one UTF-16 code unit.
    char *p = reserveTail(3 * text.size());
    commitTail(encoder_.appendToBuffer(p, text));
}

QByteArrayView Utf8Output::encode(QStringView text)
{
    if (scratch_.size() < 3 * text.size())
        scratch_.resize(std::max(3 * text.size(), 2 * scratch_.size()));
    char *end = encoder_.appendToBuffer(scratch_.data(), text);
    return QByteArrayView(scratch_.constData(), end - scratch_.constData());
}

QByteArray Utf8Output::take()
{
    out_.truncate(used_);
    used_ = 0;
    return std::move(out_);
}
