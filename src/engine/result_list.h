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
// "High Profile (12)"; Saved Domains has no counted caption and keeps its idle one.
QString countedCaption(ResultList list, qint64 count);
bool hasCounter(ResultList list);

} // namespace brisquel
