#pragma once

#include <QLatin1StringView>
#include <QStringView>
#include <array>
#include <initializer_list>
#include <vector>

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

// A fixed set of lower-case ASCII words, looked up by first letter; a word ending in "*" stands for
// every word that starts with it ("expir*": "expires", "expiration").
class WordSet
{
public:
    WordSet(std::initializer_list<const char*> words)
    {
        for (const char* word : words) {
            QLatin1StringView known(word);
            const bool stem = known.endsWith(u'*');
            if (stem)
                known.chop(1);
            m_byLetter[bucket(QLatin1Char(known.front()))].push_back({known, stem});
        }
    }

    bool contains(QStringView word) const
    {
        if (word.isEmpty())
            return false;
        for (const Entry& entry : m_byLetter[bucket(word.front())]) {
            if (entry.stem ? wordStartsWith(word, entry.word) : isWord(word, entry.word))
                return true;
        }
        return false;
    }

private:
    struct Entry
    {
        QLatin1StringView word;
        bool stem;
    };
    // One bucket per ASCII letter, and one for everything else.
    static int bucket(QChar c)
    {
        const QChar lower = asciiLower(c);
        return lower >= u'a' && lower <= u'z' ? lower.unicode() - u'a' : 26;
    }
    std::array<std::vector<Entry>, 27> m_byLetter;
};

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
