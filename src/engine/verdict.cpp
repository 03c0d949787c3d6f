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

} // namespace brisquel
