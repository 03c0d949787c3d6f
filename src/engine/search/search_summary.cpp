#include "search_summary.h"

#include "engine/search/search_status.h"
#include "engine/search/watch_run.h"

#include <QFileInfo>
#include <cstdio>

namespace brisquel {

namespace {

// "2.1": printf's rounding, which the command line's summary always had.
QString secondsText(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return QString::fromLatin1(text);
}

} // namespace

QString searchEndText(const SearchProgress& progress, bool stopped)
{
    const QString counts = QStringLiteral("%1 checked, %2 free, %3 taken, %4 unanswered")
                               .arg(progress.available + progress.taken + progress.unanswered)
                               .arg(progress.available)
                               .arg(progress.taken)
                               .arg(progress.unanswered);
    if (!stopped)
        return QStringLiteral("Search finished: ") + counts;
    return QStringLiteral("Stopped at entry %1 of %2: %3")
        .arg(progress.resumeEntry)
        .arg(progress.total)
        .arg(counts);
}

SearchEndNotice searchEndNotice(const SearchProgress& progress, bool stopped, qint64 dnsSettled)
{
    const QString summary = searchEndText(progress, stopped);
    SearchEndNotice notice{summary, QString()};
    if (progress.dropping > 0)
        notice.line += QStringLiteral(" · %1 dropping").arg(progress.dropping);
    QStringList sentences{summary + QLatin1Char('.')};
    if (dnsSettled > 0)
        sentences << QStringLiteral("DNS settled %1 without a registry query.")
                         .arg(countOf(dnsSettled, "taken name", "taken names"));
    for (const QString& more : {historyNotice(progress), droppingNotice(progress)}) {
        if (!more.isEmpty())
            sentences << more;
    }
    notice.whole = sentences.join(QLatin1Char(' '));
    return notice;
}

QStringList searchReportLines(const SearchReport& report)
{
    QStringList lines{QStringLiteral("Checked %1 names in %2 s: %3 free, %4 taken, %5 not registrable, %6 "
                                     "unanswered. Resume position: %7.")
                          .arg(report.checked)
                          .arg(secondsText(report.seconds))
                          .arg(report.available)
                          .arg(report.registered)
                          .arg(report.notRegistrable)
                          .arg(report.unanswered)
                          .arg(report.resumePosition)};
    if (report.dnsInEffect)
        lines << QStringLiteral("DNS settled %1 of the taken names without a registry query.")
                     .arg(report.dnsSettled);
    if (report.historySettled > 0)
        lines << QStringLiteral("History settled %1 of the taken names without a registry query (taken in "
                                "the last %2 days; --recheck asks them).")
                     .arg(report.historySettled)
                     .arg(report.historyDays);
    if (report.zoneSettled > 0)
        lines << QStringLiteral("Zone files settled %1 of the registered names without a registry query.")
                     .arg(report.zoneSettled);
    if (report.historyLost > 0)
        lines << QStringLiteral("%1 verdicts could not be recorded in the history (they are in the output "
                                "and the result files).")
                     .arg(report.historyLost);
    if (report.unconfirmed > 0)
        lines << QStringLiteral("%1 of the free names are unconfirmed: only WHOIS said they are free.")
                     .arg(report.unconfirmed);
    if (report.dropping > 0)
        lines << QStringLiteral("%1 taken names are about to drop; they are listed in %2.")
                     .arg(report.dropping)
                     .arg(report.droppingFile);
    // Per server: how it answered, and how often it had to be given a rest.
    for (const ServerPacer::Stats& server : report.servers) {
        if (report.servers.size() > 1 || server.refusals > 0)
            lines << QStringLiteral("  %1: %2 queries, %3 answers, %4 refusals, %5 pauses")
                         .arg(server.name, QString::number(server.queries), QString::number(server.answers),
                              QString::number(server.refusals), QString::number(server.pauses));
    }
    // Per proxy: lookups sent through it, how many it failed, how often it was rested.
    for (const ProxyRotation::Stats& proxy : report.proxies)
        lines << QStringLiteral("  via %1: %2 lookups, %3 failures, %4 rests")
                     .arg(proxy.name, QString::number(proxy.lookups), QString::number(proxy.failures),
                          QString::number(proxy.rests));
    if (report.unanswered == 0)
        return lines;
    // The driver stops at the first name it cannot add, so a failure naming the file is the only
    // case in which they were not all kept.
    if (report.saveFailure.contains(QFileInfo(report.unansweredFile).fileName()))
        lines << QStringLiteral("Unanswered names could not all be kept: %1").arg(report.saveFailure);
    else
        lines << QStringLiteral("Unanswered names were added to %1.").arg(report.unansweredFile);
    return lines;
}

QString watchCountsText(const WatchCounts& counts)
{
    return QStringLiteral("%1 came free, %2 started dropping, %3 expiry date moved, %4 unanswered")
        .arg(counts.cameFree)
        .arg(counts.startedDropping)
        .arg(counts.expiryMoved)
        .arg(counts.unanswered);
}

QString watchRoundText(const WatchCounts& counts, bool stopped)
{
    return QStringLiteral("Saved names checked: %1%2.")
        .arg(watchCountsText(counts), stopped ? QStringLiteral(" (stopped)") : QString());
}

QString watchNewsText(const WatchCounts& counts, bool stopped)
{
    if (counts.watched == 0)
        return stopped ? QStringLiteral("The check of the saved names was stopped.")
                       : QStringLiteral("There are no saved names to check.");
    QStringList parts;
    const auto add = [&](qint64 count, const char* what) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(what));
    };
    add(counts.cameFree, "came free");
    add(counts.startedDropping, "started dropping");
    add(counts.expiryMoved, counts.expiryMoved == 1 ? "expiry date moved" : "expiry dates moved");
    if (parts.isEmpty())
        return QStringLiteral("Saved names checked: nothing changed (%1 %2%3).")
            .arg(counts.watched)
            .arg(counts.watched == 1 ? QStringLiteral("name") : QStringLiteral("names"))
            .arg(counts.unanswered > 0 ? QStringLiteral(", %1 unanswered").arg(counts.unanswered)
                                       : QString());
    return QStringLiteral("Saved names: %1, marked in Saved Domains.").arg(parts.join(QStringLiteral(", ")));
}

QString watchReportLine(const WatchCounts& counts)
{
    return QStringLiteral("Watched %1 saved names: %2.").arg(counts.watched).arg(watchCountsText(counts));
}

} // namespace brisquel
