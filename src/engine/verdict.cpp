#include "verdict.h"

#include <QByteArrayView>
#include <algorithm>

namespace brisquel {

namespace {

// Written in lower case; the answer is lowered once before searching.
// A server that refuses or rations queries has said nothing about the name. Some of these
// answers also carry an availability phrase, so they are looked for first.
constexpr QByteArrayView refusalPhrases[] = {
    "limit exceeded",       "has been exceeded", "exceeded your quota", "limit reached",  "rate limit",
    "too many connections", "too many requests", "server too busy",     "request denied", "try again after",
    "please go away",       "maximum queries",   "maximum query rate",
};

constexpr QByteArrayView availabilityPhrases[] = {
    "no match",          "not registered", "not found",    "available for registration",
    "no domain records", "no data found",  "status: free", "status: available",
};

bool isBlank(const QByteArray& answer)
{
    return std::all_of(answer.cbegin(), answer.cend(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0';
    });
}

template <std::size_t N>
bool containsAny(QByteArrayView text, const QByteArrayView (&phrases)[N])
{
    return std::any_of(std::begin(phrases), std::end(phrases),
                       [text](QByteArrayView phrase) { return text.contains(phrase); });
}

} // namespace

Verdict judgeAnswer(const QByteArray& answer)
{
    if (isBlank(answer))
        return Verdict::Unanswered;
    // ASCII-only lowering: multi-byte UTF-8 sequences pass through untouched.
    const QByteArray lowered = answer.toLower();
    if (containsAny(lowered, refusalPhrases))
        return Verdict::Unanswered;
    if (containsAny(lowered, availabilityPhrases))
        return Verdict::Available;
    return Verdict::Registered;
}

const char* verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Available:
        return "available";
    case Verdict::Registered:
        return "registered";
    case Verdict::Unanswered:
        return "unanswered";
    }
    return "unanswered";
}

} // namespace brisquel
