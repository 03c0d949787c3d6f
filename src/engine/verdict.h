#pragma once

#include <QByteArray>
#include <QString>

namespace brisquel {

enum class Verdict
{
    Available,
    Registered,
    Unanswered,
    // Reserved, premium, prohibited or invalid: it cannot simply be registered. Filed with the
    // taken names.
    NotRegistrable
};
inline constexpr int VerdictCount = 4;

// Judges a complete WHOIS answer of `server` by the delivered answer rules (see AnswerRules).
Verdict judgeAnswer(const QByteArray& answer, const QString& server = QString());

const char* verdictName(Verdict verdict);
// The word the windows show: "free", "taken", "unanswered", "not registrable". What is stored and
// exported keeps verdictName().
QString verdictWord(Verdict verdict);

// Registered or not registrable: the name cannot be had now.
inline bool isTaken(Verdict verdict)
{
    return verdict == Verdict::Registered || verdict == Verdict::NotRegistrable;
} // "available", "registered", "unanswered", "not-registrable"

} // namespace brisquel
