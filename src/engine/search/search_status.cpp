#include "search_status.h"

#include <QStringList>

namespace brisquel {

QString countOf(qint64 count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

QString entryPanelText(const SearchProgress& progress)
{
    return QStringLiteral("%1 of %2").arg(progress.settled).arg(progress.total);
}

QString openPanelText(const SearchProgress& progress)
{
    QString text;
    if (progress.listRead && progress.waiting() == 0 && progress.inFlight > 0) {
        // Nothing left but the last answers, which may take a while: say so, with the longest wait.
        text = QStringLiteral("Waiting for %1 %2 (up to %3 s)")
                   .arg(progress.inFlight)
                   .arg(progress.inFlight == 1 ? QStringLiteral("answer") : QStringLiteral("answers"))
                   .arg((progress.longestAnswerWaitMs + 999) / 1000);
    } else {
        text = QStringLiteral("Open: %1").arg(progress.inFlight);
    }
    // Names read ahead wait their turn in any case; only a server's rest holds them back.
    if (progress.waitingRest > 0)
        text += QStringLiteral(" · %1 held by server limits").arg(progress.waitingRest);
    return text;
}

QString openPanelTip(const SearchProgress& progress)
{
    QStringList parts{QStringLiteral("%1 %2 open")
                          .arg(progress.inFlight)
                          .arg(progress.inFlight == 1 ? QStringLiteral("lookup") : QStringLiteral("lookups"))};
    if (progress.waitingSlot > 0)
        parts << QStringLiteral("%1 read ahead, ready for the next free lookup").arg(progress.waitingSlot);
    const qint64 paced = progress.waitingServer - progress.waitingRest;
    if (paced > 0)
        parts << QStringLiteral("%1 read ahead, waiting for their server's pace or connections").arg(paced);
    if (progress.waitingRest > 0)
        parts << QStringLiteral("%1 held while their server rests after a refusal").arg(progress.waitingRest);
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

QString factText(StatusFact fact, const SearchProgress& progress)
{
    switch (fact) {
    case StatusFact::Dns:
        return progress.dnsOn ? QStringLiteral("DNS: %1 taken").arg(progress.dnsSettled) : QString();
    case StatusFact::History:
        return progress.historySettled > 0 ? QStringLiteral("History: %1 taken").arg(progress.historySettled)
                                           : QString();
    case StatusFact::Dropping:
        return progress.dropping > 0 ? QStringLiteral("%1 dropping").arg(progress.dropping) : QString();
    case StatusFact::Proxies:
        return progress.proxies > 0
                   ? QStringLiteral("via %1 %2")
                         .arg(progress.proxies)
                         .arg(progress.proxies == 1 ? QStringLiteral("proxy") : QStringLiteral("proxies"))
                   : QString();
    }
    return {};
}

QString factTip(StatusFact fact)
{
    switch (fact) {
    case StatusFact::Dns:
        return QStringLiteral("Taken names the DNS pre-check settled without asking their registry");
    case StatusFact::History:
        return QStringLiteral("Taken names the history settled without asking their registry again");
    case StatusFact::Dropping:
        return QStringLiteral("Taken names about to drop (pendingDelete, redemption or past expiry), "
                              "listed in Dropping.txt");
    case StatusFact::Proxies:
        return QStringLiteral("Lookups go through these network proxies (Options > Setup)");
    }
    return {};
}

QString dnsOffNotice(const SearchProgress& progress)
{
    if (!progress.dnsOffForProxies)
        return {};
    return QStringLiteral("The DNS pre-check is off for this search: its lookups go through network "
                          "proxies and DNS would not. Set a DNS server in Setup to keep it.");
}

QString historyNotice(const SearchProgress& progress)
{
    QStringList notices;
    if (progress.historySettled > 0)
        notices << QStringLiteral("The history settled %1 without asking their registries again.")
                       .arg(countOf(progress.historySettled, "taken name", "taken names"));
    if (progress.historyLost > 0)
        notices << QStringLiteral("%1 could not be recorded in the history (they are in the result lists).")
                       .arg(countOf(progress.historyLost, "verdict", "verdicts"));
    return notices.join(QLatin1Char(' '));
}

QString droppingNotice(const SearchProgress& progress)
{
    if (progress.dropping <= 0)
        return {};
    return QStringLiteral("This search found %1 about to drop (listed in Dropping.txt).")
        .arg(countOf(progress.dropping, "taken name", "taken names"));
}

} // namespace brisquel
