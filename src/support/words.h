#pragma once

#include <QLatin1StringView>
#include <QStringView>

namespace brisquel {

// Words of registries' answers compared without copies and without case tables: every line of
// every answer passes here. A word is a run of letters; only ASCII letters are folded.

constexpr QChar asciiLower(QChar c)
{
    return c >= u'A' && c <= u'Z' ? QChar(char16_t(c.unicode() + (u'a' - u'A'))) : c;
}

// `known` in lower case. The length and the first letter tell most words apart before a comparison.
inline bool isWord(QStringView word, QLatin1StringView known)
{
    return word.size() == known.size() && !word.isEmpty() &&
           asciiLower(word.front()) == QLatin1Char(known.front()) &&
           word.compare(known, Qt::CaseInsensitive) == 0;
}

inline bool wordStartsWith(QStringView word, QLatin1StringView stem)
{
    return word.size() >= stem.size() && !word.isEmpty() &&
           asciiLower(word.front()) == QLatin1Char(stem.front()) &&
           word.startsWith(stem, Qt::CaseInsensitive);
}

// Calls `take(word)` for each run of letters in `text`, in order, until it returns true; whether it did.
template <typename Take>
bool forEachWord(QStringView text, Take take)
{
    for (qsizetype i = 0; i < text.size();) {
        if (!text.at(i).isLetter()) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && text.at(end).isLetter())
            ++end;
        if (take(text.mid(i, end - i)))
            return true;
        i = end;
    }
    return false;
}

} // namespace brisquel
