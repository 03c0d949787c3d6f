#pragma once

#include "engine/dispatch/proxy_rotation.h"
#include "engine/dispatch/search_progress.h"
#include "engine/dispatch/server_pacer.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace brisquel {

struct WatchCounts;

// What a search that ended says about itself, in the status bar, the message log and the
// generator: "Search finished: 300 checked, 103 free, 190 taken, 7 unanswered", or for a search
// that was stopped "Stopped at entry 51 of 300: 50 checked, …", the entry being where it resumes.
QString searchEndText(const SearchProgress& progress, bool stopped);

// The window's notice at the end of a search: the counts in one line for the status bar (with the
// names about to drop), and in sentences for its tooltip and the log, with what DNS (`dnsSettled`
// taken names, none while the pre-check was off) and the history spared the registries.
struct SearchEndNotice
{
    QString line;
    QString whole;
};
SearchEndNotice searchEndNotice(const SearchProgress& progress, bool stopped, qint64 dnsSettled);

// A search's end as brisquel-cli tells it on standard error.
struct SearchReport
{
    double seconds = 0;
    qint64 checked = 0;
    qint64 available = 0;
    qint64 registered = 0;
    qint64 notRegistrable = 0;
    qint64 unanswered = 0;
    qint64 resumePosition = 0;
    bool dnsInEffect = false;
    qint64 dnsSettled = 0;
    qint64 historySettled = 0;
    qint64 zoneSettled = 0;
    int historyDays = 0;
    qint64 historyLost = 0;
    qint64 unconfirmed = 0; // free names only WHOIS called free, where free names were to be confirmed
    qint64 dropping = 0;
    QString droppingFile;
    QList<ServerPacer::Stats> servers;
    QList<ProxyRotation::Stats> proxies;
    QString unansweredFile;
    QString saveFailure; // the first name or file that could not be kept; empty when all were
};
// "Checked 40 names in 2.1 s: …", then a line for each thing the search spared, lost or left to
// do, a line per server and proxy, and where the unanswered names went.
QStringList searchReportLines(const SearchReport& report);

// A round of the saved names: "1 came free, 0 started dropping, 0 expiry date moved, 2 unanswered",
// the counts the message log and brisquel-cli watch both give.
QString watchCountsText(const WatchCounts& counts);
// "Saved names checked: <counts>." for the message log, "(stopped)" when it was.
QString watchRoundText(const WatchCounts& counts, bool stopped);
// The window's line for a round: what changed, "nothing changed (3 names)", or why nothing was checked.
QString watchNewsText(const WatchCounts& counts, bool stopped);
// "Watched 4 saved names: <counts>." for brisquel-cli watch.
QString watchReportLine(const WatchCounts& counts);

} // namespace brisquel
