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

} // namespace brisquel
