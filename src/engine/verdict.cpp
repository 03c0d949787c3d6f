#include "verdict.h"

#include "answer_rules.h"

namespace brisquel {

Verdict judgeAnswer(const QByteArray& answer, const QString& server)
{
    return AnswerRules::shipped().judge(answer, server).verdict;
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
    case Verdict::NotRegistrable:
        return "not-registrable";
    }
    return "unanswered";
}

const char* verdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Available:
        return "free";
    case Verdict::Registered:
        return "taken";
    case Verdict::Unanswered:
    case Verdict::NotRegistrable:
        break;
    }
    return verdictName(verdict);
}

std::optional<Verdict> verdictFromWord(const QString& word)
{
    const QString typed = word.trimmed().toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
    for (int i = 0; i < VerdictCount; ++i) {
        const auto verdict = Verdict(i);
        if (typed == QLatin1String(verdictName(verdict)) || typed == QLatin1String(verdictWord(verdict)))
            return verdict;
    }
    return std::nullopt;
}

} // namespace brisquel
