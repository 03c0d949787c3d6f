#include "engine/dispatch/lookup_outcome.h"

#include <QTest>

using namespace brisquel;

namespace {

// "via-proxy never-connected proxy-left": the facts a row names, the others left false.
LookupFacts factsOf(const QString& words)
{
    LookupFacts facts;
    for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool* flag = word == QLatin1String("via-proxy")           ? &facts.viaProxy
                     : word == QLatin1String("proxy-failed")      ? &facts.proxyFailed
                     : word == QLatin1String("never-connected")   ? &facts.neverConnected
                     : word == QLatin1String("answered")          ? &facts.answered
                     : word == QLatin1String("too-large")         ? &facts.tooLarge
                     : word == QLatin1String("refused")           ? &facts.refused
                     : word == QLatin1String("rdap")              ? &facts.rdap
                     : word == QLatin1String("reached-elsewhere") ? &facts.reachedThroughOtherProxy
                     : word == QLatin1String("proxy-left")        ? &facts.otherProxyLeft
                     : word == QLatin1String("rdap-fallback")     ? &facts.rdapFallback
                     : word == QLatin1String("confirming")        ? &facts.confirming
                     : word == QLatin1String("can-confirm")       ? &facts.canConfirm
                                                                  : nullptr;
        if (word == QLatin1String("free"))
            facts.verdict = Verdict::Available;
        else if (word == QLatin1String("taken"))
            facts.verdict = Verdict::Registered;
        else if (flag)
            *flag = true;
        else
            qFatal("unknown fact %s", qPrintable(word));
    }
    return facts;
}

const char* stepName(LookupStep step)
{
    switch (step) {
    case LookupStep::AnotherProxy:
        return "another proxy";
    case LookupStep::ProxyFailed:
        return "proxy failed";
    case LookupStep::ProxyCannotReach:
        return "proxy cannot reach";
    case LookupStep::AskRdap:
        return "ask rdap";
    case LookupStep::Unanswered:
        return "unanswered";
    case LookupStep::Refused:
        return "refused";
    case LookupStep::Confirm:
        return "confirm";
    case LookupStep::File:
        return "file";
    }
    return "?";
}

} // namespace

// Each row: the facts of a lookup that ended, and what the queue does with its name next.
class TestLookupOutcome : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decidesTheNextStep_data()
    {
        QTest::addColumn<QString>("facts");
        QTest::addColumn<QString>("step");
        // Through a proxy that never connected, the proxy is suspected before the server.
        QTest::newRow("another proxy tries first") << "via-proxy never-connected proxy-left"
                                                   << "another proxy";
        QTest::newRow("a proxy that misses what the others reach is at fault")
            << "via-proxy never-connected reached-elsewhere proxy-left"
            << "proxy cannot reach";
        QTest::newRow("every proxy tried: the server's silence") << "via-proxy never-connected rdap-fallback"
                                                                 << "ask rdap";
        QTest::newRow("every proxy tried, no RDAP: unanswered") << "via-proxy never-connected"
                                                                << "unanswered";
        QTest::newRow("a failed proxy rests") << "via-proxy proxy-failed never-connected proxy-left"
                                              << "proxy failed";
        QTest::newRow("a proxy's failure counts only through a proxy") << "proxy-failed answered taken"
                                                                       << "file";
        QTest::newRow("connected through the proxy, then silent: the server's")
            << "via-proxy proxy-left rdap-fallback"
            << "ask rdap";
        // The server's own outcomes.
        QTest::newRow("silent WHOIS goes to RDAP") << "never-connected rdap-fallback"
                                                   << "ask rdap";
        QTest::newRow("too large is not gone around") << "too-large rdap-fallback"
                                                      << "unanswered";
        QTest::newRow("silent without RDAP") << ""
                                             << "unanswered";
        QTest::newRow("a refusal") << "answered refused"
                                   << "refused";
        QTest::newRow("a refusal that reads free is still one") << "answered refused free can-confirm"
                                                                << "refused";
        QTest::newRow("taken is filed") << "answered taken can-confirm"
                                        << "file";
        QTest::newRow("WHOIS free is confirmed") << "answered free can-confirm"
                                                 << "confirm";
        QTest::newRow("WHOIS free without RDAP is filed") << "answered free"
                                                          << "file";
        QTest::newRow("RDAP free needs no second word") << "answered free rdap can-confirm"
                                                        << "file";
        QTest::newRow("a confirmation is not confirmed again") << "answered free rdap confirming can-confirm"
                                                               << "file";
        QTest::newRow("a silent confirmation ends unanswered") << "rdap confirming"
                                                               << "unanswered";
    }

    void decidesTheNextStep()
    {
        QFETCH(QString, facts);
        QFETCH(QString, step);
        QCOMPARE(QString::fromLatin1(stepName(nextStep(factsOf(facts)))), step);
    }

    void aRefusedNameIsAskedAgainUntilItsLimits_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<bool>("quotaUsedUp");
        QTest::addColumn<int>("step");
        QTest::newRow("first refusal") << 1 << false << int(RefusalStep::AskAgainLater);
        QTest::newRow("one short of the limit")
            << MaxRefusals - 1 << false << int(RefusalStep::AskAgainLater);
        QTest::newRow("the limit") << MaxRefusals << false << int(RefusalStep::RefusedTooOften);
        QTest::newRow("a spent quota at once") << 1 << true << int(RefusalStep::QuotaSpent);
        QTest::newRow("a spent quota before the limit")
            << MaxRefusals << true << int(RefusalStep::QuotaSpent);
    }

    void aRefusedNameIsAskedAgainUntilItsLimits()
    {
        QFETCH(int, refusals);
        QFETCH(bool, quotaUsedUp);
        QFETCH(int, step);
        QCOMPARE(int(afterRefusal(refusals, quotaUsedUp)), step);
    }
};

QTEST_GUILESS_MAIN(TestLookupOutcome)
#include "test_lookup_outcome.moc"
