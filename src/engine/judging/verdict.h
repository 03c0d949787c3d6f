#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

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

// "available", "registered", "unanswered", "not-registrable": what history.sqlite keeps. Files and
// callers rely on these; people and scripts read verdictWord() or verdictToken().
const char* verdictName(Verdict verdict);
// The word the windows show: "free", "taken", "unanswered", "not registrable".
QString verdictWord(Verdict verdict);
// The same word as one token, where a blank would split it (the command line's text, csv and json,
// `history`'s and the History window's CSV): "free", "taken", "unanswered", "not-registrable".
QString verdictToken(Verdict verdict);
// A verdict as typed: either word for it (free or available, taken or registered, unanswered,
// not registrable or not-registrable), in any case.
std::optional<Verdict> verdictFromWord(const QString& word);

// Registered or not registrable: the name cannot be had now.
inline bool isTaken(Verdict verdict)
{
    return verdict == Verdict::Registered || verdict == Verdict::NotRegistrable;
}

} // namespace brisquel
