#include "verdict.h"

#include "engine/judging/answer_rules.h"

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

QString verdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Available:
        return QStringLiteral("free");
    case Verdict::Registered:
        return QStringLiteral("taken");
    case Verdict::Unanswered:
        return QStringLiteral("unanswered");
    case Verdict::NotRegistrable:
        return QStringLiteral("not registrable");
    }
    return QStringLiteral("unanswered");
}

QString verdictToken(Verdict verdict)
{
    return verdictWord(verdict).replace(QLatin1Char(' '), QLatin1Char('-'));
}

std::optional<Verdict> verdictFromWord(const QString& word)
{
    const QString typed = word.trimmed().toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
    for (int i = 0; i < VerdictCount; ++i) {
        const auto verdict = Verdict(i);
        if (typed == QLatin1String(verdictName(verdict)) || typed == verdictToken(verdict))
            return verdict;
    }
    return std::nullopt;
}

} // namespace brisquel
