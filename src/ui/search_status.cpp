#include "search_status.h"

#include <QStringList>

namespace brisquel {

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
        if (progress.waitingSlot > 0)
            text += QStringLiteral(" · %1 queued").arg(progress.waitingSlot);
        if (progress.waitingServer > 0)
            text += QStringLiteral(" · %1 held by server limits").arg(progress.waitingServer);
    }
    // How many names DNS took off the registries' hands, whatever else the panel says.
    if (progress.dnsOn)
        text += QStringLiteral(" · DNS: %1 taken").arg(progress.dnsSettled);
    if (progress.historySettled > 0)
        text += QStringLiteral(" · history: %1 taken").arg(progress.historySettled);
    if (progress.dropping > 0)
        text += QStringLiteral(" · %1 dropping").arg(progress.dropping);
    if (progress.proxies > 0)
        text += QStringLiteral(" · via %1 %2")
                    .arg(progress.proxies)
                    .arg(progress.proxies == 1 ? QStringLiteral("proxy") : QStringLiteral("proxies"));
    return text;
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
        notices << QStringLiteral("The history settled %1 taken names without asking their registries again.")
                       .arg(progress.historySettled);
    if (progress.historyLost > 0)
        notices << QStringLiteral("%1 verdicts could not be recorded in the history (they are in the "
                                  "result lists).")
                       .arg(progress.historyLost);
    return notices.join(QLatin1Char(' '));
}

QString droppingNotice(const SearchProgress& progress)
{
    if (progress.dropping <= 0)
        return {};
    return QStringLiteral("This search found %1 taken names about to drop (listed in Dropping.txt).")
        .arg(progress.dropping);
}

} // namespace brisquel
