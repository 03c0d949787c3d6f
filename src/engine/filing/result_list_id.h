#pragma once

#include <QString>

namespace brisquel {

// The numbers are the window's list numbers; the button arrays and list events index by them.
enum class ResultList
{
    Low = 1,
    Registered = 2,
    High = 3,
    Mid = 4,
    Saved = 5
};

inline constexpr ResultList AllResultLists[] = {ResultList::Low, ResultList::Registered, ResultList::High,
                                                ResultList::Mid, ResultList::Saved};

// "Low Profile", "Registered", "High Profile", "Mid Profile", "Saved Domains".
QString idleCaption(ResultList list);
// What a caption counts: the names listed, and those this search found ("Mid Profile (44, 7 new)");
// Registered shows only its latest names ("Registered (101 shown, 250 new)"). Saved Domains keeps
// its idle caption.
QString countedCaption(ResultList list, qint64 listed, qint64 found);
bool hasCounter(ResultList list);

} // namespace brisquel
