#pragma once

#include <QtGlobal>
#include <algorithm>

namespace brisquel {

// Where a search stands, for the status bar and the command line's progress line. Entries are
// list entries: "settled" means filed, skipped or sent on for good (the resume position's sense),
// never merely read ahead.
struct SearchProgress
{
    qint64 startEntry = 1; // the entry the search started at; those before it count as settled
    qint64 settled = 0;
    qint64 total = 0;
    qint64 inFlight = 0;      // asked, the answer awaited
    qint64 waitingServer = 0; // read ahead, held back by its server's pace, rest or connection cap
    qint64 waitingSlot = 0;   // read ahead, ready to go as soon as a lookup slot is free
    qint64 waitingRest = 0;   // of waitingServer: their server rests after a refusal or a named wait
    qint64 dnsSettled = 0;    // taken names that DNS settled without a registry query
    qint64 historySettled = 0; // taken names the history settled without a registry query
    qint64 zoneSettled = 0;    // taken names an imported zone file settled without a registry query
    qint64 historyLost = 0;    // verdicts of this search the history could not record
    qint64 dropping = 0;      // taken names found in a deletion state or past their expiry
    // Verdicts of this search: free and taken names filed, names given up as unanswered.
    qint64 available = 0;
    qint64 taken = 0;
    qint64 unanswered = 0;
    qint64 resumeEntry = 1; // where the next search of the list goes on
    bool dnsOn = false;
    int proxies = 0;                // network proxies the lookups go through ("via 3 proxies")
    bool dnsOffForProxies = false;  // the pre-check was asked for but is off: lookups go through proxies
    bool listRead = false;          // every entry of the list has been read
    qint64 longestAnswerWaitMs = 0; // the longest a lookup in flight may still take

    qint64 waiting() const { return waitingServer + waitingSlot; }
    qint64 settledThisRun() const { return std::max<qint64>(0, settled - (startEntry - 1)); }
};

} // namespace brisquel
