#include "answer_text.h"

#include <QStringDecoder>

namespace brisquel {

namespace {

// Line ends become LF alone before anything is decoded: a decoder that meets broken text may take a
// CR or an LF for part of a character, and it must meet the same bytes however the server ended
// its lines.
QByteArray withLfLineEnds(const QByteArray& answer)
{
    if (!answer.contains('\r'))
        return answer;
    QByteArray bytes = answer;
    char* out = bytes.data();
    const char* in = out;
    const char* end = in + bytes.size();
    for (; in != end; ++in) {
        if (*in == '\r') {
            if (in + 1 == end || in[1] != '\n')
                *out++ = '\n';
        } else {
            *out++ = *in;
        }
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

// The bytes of `answer` that are no part of a well-formed UTF-8 sequence.
qsizetype brokenUtf8Bytes(QByteArrayView bytes)
{
    qsizetype broken = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int length = c >= 0xf5 ? 0 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        bool good = length > 0 && i + length <= bytes.size();
        for (int k = 1; good && k < length; ++k)
            good = (static_cast<unsigned char>(bytes[i + k]) & 0xc0) == 0x80;
        if (good) {
            i += length;
        } else {
            ++broken;
            ++i;
        }
    }
    return broken;
}

// The ISO-2022 character set whose shifts the answer holds, or empty: 7-bit text that any
// ASCII reading would take for valid UTF-8 with stray escapes.
QByteArray iso2022Encoding(const QByteArray& answer)
{
    if (!answer.contains('\x1b'))
        return {};
    if (answer.contains("\x1b$)C"))
        return QByteArrayLiteral("ISO-2022-KR");
    // JIS X 0208 (old and new), JIS X 0212, JIS Roman, half-width katakana.
    for (const char* shift : {"\x1b$B", "\x1b$@", "\x1b$(D", "\x1b(J", "\x1b(I"}) {
        if (answer.contains(shift))
            return QByteArrayLiteral("ISO-2022-JP-2"); // the others' superset
    }
    return {};
}

} // namespace

AnswerText decodeAnswer(const QByteArray& raw, const QByteArray& encoding)
{
    constexpr auto Stateless = QStringDecoder::Flag::Stateless;
    const QByteArray answer = withLfLineEnds(raw);
    if (const QByteArray shifted = iso2022Encoding(answer); !shifted.isEmpty()) {
        QStringDecoder decoder(shifted.constData(), Stateless);
        if (decoder.isValid()) {
            QString text = decoder.decode(answer);
            if (!decoder.hasError())
                return {std::move(text), 0};
        }
    }
    if (QByteArrayView(answer).isValidUtf8())
        return {QString::fromUtf8(answer), 0};
    if (!encoding.isEmpty()) {
        // What it cannot read becomes replacement characters, which tell an unreadable answer.
        QStringDecoder decoder(encoding.constData(), Stateless);
        if (decoder.isValid())
            return {decoder.decode(answer), 0};
    }
    return {QString::fromLatin1(answer), brokenUtf8Bytes(answer)};
}

// Binary garbage or a mangled stream, not a text in any character set: a NUL before the end, or
// most characters controls, replacement characters or bytes that fit no character set. Blanks
// and line ends are layout, not text: how a server ends its lines must never tip the balance.
bool isUnreadable(const AnswerText& answer)
{
    const QString& text = answer.text;
    qsizetype size = text.size();
    // A NUL after the text, as a string terminator, does no harm.
    while (size > 0 && text.at(size - 1).unicode() == 0)
        --size;
    qsizetype notText = answer.undecodable;
    qsizetype counted = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0)
            return true;
        if (c == u' ' || (c >= 0x09 && c <= 0x0d))
            continue;
        ++counted;
        // ESC stays text: an ISO-2022 shift that no decoder took.
        if ((c < 0x20 && c != 0x1b) || c == 0x7f || c == 0xfffd)
            ++notText;
    }
    return notText * 2 > counted;
}

} // namespace brisquel
