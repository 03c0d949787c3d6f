#pragma once

#include <QByteArray>
#include <QString>

namespace brisquel {

// A WHOIS answer as text.
struct AnswerText
{
    QString text;
    // Bytes that fit no character set at hand, when the text is their Latin-1 reading.
    qsizetype undecodable = 0;
};

// The text of a WHOIS answer, lines ending in LF alone: ISO-2022 shifts (7-bit Japanese or Korean)
// decoded; else UTF-8 when the bytes are valid UTF-8; else `encoding`, the character set the server
// is known to answer in (a name QStringDecoder knows: "EUC-KR", "Shift_JIS"); else Latin-1, so that
// nothing is lost. Every reader of answers goes through here, so that all see the same text.
AnswerText decodeAnswer(const QByteArray& answer, const QByteArray& encoding = QByteArray());

// Binary garbage or a mangled stream, not a text in any character set.
bool isUnreadable(const AnswerText& answer);

} // namespace brisquel
