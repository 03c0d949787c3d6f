#pragma once

#include <QByteArray>

namespace brisquel {

enum class Verdict
{
    Available,
    Registered,
    Unanswered
};

// Judges a complete WHOIS answer. An empty answer, or one that says the server is refusing or
// limiting queries, is no verdict at all: Unanswered. Otherwise an availability phrase anywhere
// (without regard to case) means Available, and anything else Registered.
Verdict judgeAnswer(const QByteArray& answer);

const char* verdictName(Verdict verdict); // "available", "registered", "unanswered"

} // namespace brisquel
