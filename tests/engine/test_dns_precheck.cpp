#include "engine/dns/dns_precheck.h"
#include "engine/dns/resolver_window.h"
#include "tools/fake_dns_server.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <memory>

using namespace brisquel;
using brisquel::test::FakeDnsServer;
using Reply = FakeDnsServer::Reply;

namespace {

// Everything a pre-check reported, and whether it ever reported from inside a call.
struct Recorder
{
    explicit Recorder(DnsPrecheck& precheck)
        : precheck(precheck)
    {
        QObject::connect(&precheck, &DnsPrecheck::checked, [this](quint64 id, bool delegated, bool undelegated) {
            reportedInside += inside;
            ++answers[id];
            this->delegated[id] = delegated;
            this->undelegated[id] = undelegated;
            ++total;
        });
        QObject::connect(&precheck, &DnsPrecheck::extensionSkipped, [this](const QString& extension) {
            reportedInside += inside;
            skipped.append(extension);
        });
        QObject::connect(&precheck, &DnsPrecheck::switchedOff, [this](const QString& message) {
            reportedInside += inside;
            switchedOff.append(message);
        });
    }

    void check(quint64 id, const QString& name)
    {
        inside = true;
        precheck.check(id, name);
        inside = false;
    }

    bool waitFor(int count, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return total >= count; }, ms);
    }

    DnsPrecheck& precheck;
    QHash<quint64, int> answers;
    QHash<quint64, bool> delegated;
    QHash<quint64, bool> undelegated;
    int total = 0;
    QStringList skipped;
    QStringList switchedOff;
    bool inside = false;
    int reportedInside = 0;
};

void pointAt(DnsPrecheck& precheck, const FakeDnsServer& server)
{
    QString error;
    if (!precheck.setResolver(server.address(), &error))
        qFatal("%s", qPrintable(error));
}

// Hands names over the way the search does: as many as there is room for, more after each answer;
// notes whether the window ever shrank and whether more names were pending than it allowed.
struct Feeder
{
    Feeder(DnsPrecheck& precheck, Recorder& run)
        : precheck(precheck)
        , run(run)
    {
        QObject::connect(&precheck, &DnsPrecheck::checked, &precheck, [this] { feed(); });
    }

    void add(const QStringList& more)
    {
        names += more;
        feed();
    }

    void feed()
    {
        shrank |= precheck.window() < last;
        last = precheck.window();
        while (next < names.size() && precheck.hasRoom()) {
            // The window may shrink inside check(), as the pre-check notices a lost query.
            const int window = precheck.window();
            run.check(quint64(next), names[next]);
            ++next;
            overfilled |= !precheck.isSwitchedOff() && precheck.pending() > window;
        }
    }

    DnsPrecheck& precheck;
    Recorder& run;
    QStringList names;
    qsizetype next = 0;
    int last = 0;
    bool shrank = false;
    bool overfilled = false;
};

QStringList numberedNames(int from, int to)
{
    QStringList names;
    for (int i = from; i < to; ++i)
        names.append(QStringLiteral("name%1.com").arg(i));
    return names;
}

// A port on 127.0.0.1 where nothing listens, so queries meet "connection refused".
quint16 closedPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}

} // namespace

class TestDnsPrecheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answersByWhatTheZoneSays()
    {
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.addDelegated(QStringLiteral("taken.com"));
        server.setReplyFor(QStringLiteral("referral.com"), Reply::Referral);
        server.setReplyFor(QStringLiteral("nodata.com"), Reply::NoData);
        server.setReplyFor(QStringLiteral("alias.com"), Reply::Alias);
        server.setReplyFor(QStringLiteral("broken.com"), Reply::ServerFailure);
        server.setReplyFor(QStringLiteral("refused.com"), Reply::Refused);
        server.setReplyFor(QStringLiteral("silent.com"), Reply::Silent);
        DnsPrecheck precheck;
        pointAt(precheck, server);
        precheck.setTimeout(200, 1);
        Recorder run(precheck);
        const QList<std::pair<QString, bool>> names = {
            {QStringLiteral("taken.com"), true},    {QStringLiteral("TAKEN.Com."), true},
            {QStringLiteral("referral.com"), true}, {QStringLiteral("free.com"), false},
            {QStringLiteral("nodata.com"), false},  {QStringLiteral("alias.com"), false},
            {QStringLiteral("broken.com"), false},  {QStringLiteral("refused.com"), false},
            {QStringLiteral("silent.com"), false},  {QStringLiteral("bad name.com"), false},
            {QStringLiteral("a..com"), false},      {QStringLiteral("taken.com.."), false},
        };
        for (qsizetype i = 0; i < names.size(); ++i)
            run.check(quint64(i), names[i].first);
        QVERIFY(run.waitFor(int(names.size())));
        // Only a zone's "no such name" or "no data" says a name is free; a failure says nothing.
        const QStringList undelegated{QStringLiteral("free.com"), QStringLiteral("nodata.com")};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(run.answers.value(quint64(i)), 1);
            QVERIFY2(run.delegated.value(quint64(i)) == names[i].second, qPrintable(names[i].first));
            QVERIFY2(run.undelegated.value(quint64(i)) == undelegated.contains(names[i].first),
                     qPrintable(names[i].first));
        }
        QCOMPARE(run.reportedInside, 0);
        QVERIFY(run.skipped.isEmpty() && run.switchedOff.isEmpty());
        // One probe, then every well-formed name once; the others never leave.
        QCOMPARE(server.queryCount(), 10);
        QCOMPARE(precheck.queriesSent(), 10);
        QCOMPARE(server.queriedNames().first().size(), 24);
        QCOMPARE(server.queriedNames().mid(1, 2),
                 (QStringList{QStringLiteral("taken.com"), QStringLiteral("taken.com")}));
        QCOMPARE(precheck.pending(), 0);
    }

    void resolverAddresses_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("valid");
        for (const char* valid : {"", "127.0.0.1", "127.0.0.1:5353", "::1", "[::1]", "[::1]:5353"})
            QTest::newRow(valid) << QString::fromLatin1(valid) << true;
        for (const char* invalid : {"localhost", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                                    "127.0.0.1:x", "[::1", "[::1]5353", "fe80::1%eth0", "1.2.3.4.5"})
            QTest::newRow(invalid) << QString::fromLatin1(invalid) << false;
    }

    void resolverAddresses()
    {
        QFETCH(QString, server);
        QFETCH(bool, valid);
        DnsPrecheck precheck;
        QString error;
        QCOMPARE(precheck.setResolver(server, &error), valid);
        QCOMPARE(error.isEmpty(), valid);
    }

    void probeDecidesForTheExtension_data()
    {
        QTest::addColumn<Reply>("probeReply");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("no such name") << Reply::NoSuchName << true;
        QTest::newRow("no data") << Reply::NoData << true;
        QTest::newRow("wildcard delegation") << Reply::Delegated << false;
        QTest::newRow("wildcard referral") << Reply::Referral << false;
        QTest::newRow("wildcard alias") << Reply::Alias << false;
        QTest::newRow("server failure") << Reply::ServerFailure << false;
        QTest::newRow("refused") << Reply::Refused << false;
    }

    void probeDecidesForTheExtension()
    {
        QFETCH(Reply, probeReply);
        QFETCH(bool, trusted);
        FakeDnsServer server;
        QVERIFY(server.listen());
        // Every name but these two gets the probe's reply.
        if (probeReply == Reply::Delegated)
            server.setWildcard(QStringLiteral(".tk"));
        else
            server.setDefaultReply(probeReply);
        server.addDelegated(QStringLiteral("taken.tk"));
        server.setReplyFor(QStringLiteral("free.tk"), Reply::NoSuchName);
        DnsPrecheck precheck;
        pointAt(precheck, server);
        Recorder run(precheck);
        for (quint64 id = 0; id < 10; ++id)
            run.check(id, id % 2 ? QStringLiteral("taken.tk") : QStringLiteral("free.tk"));
        QVERIFY(run.waitFor(10));
        for (quint64 id = 0; id < 10; ++id)
            QCOMPARE(run.delegated.value(id), trusted && id % 2);
        QCOMPARE(run.skipped, trusted ? QStringList() : QStringList{QStringLiteral("tk")});
        QCOMPARE(server.queryCount(), trusted ? 11 : 1);
        // Later names of a skipped extension are answered without DNS, and not reported again.
        run.check(10, QStringLiteral("taken.tk"));
        QVERIFY(run.waitFor(11));
        QCOMPARE(run.delegated.value(10), trusted);
        QCOMPARE(server.queryCount(), trusted ? 12 : 1);
        QCOMPARE(run.skipped.size(), trusted ? 0 : 1);
        QCOMPARE(run.reportedInside, 0);

        // A new run probes again.
        precheck.resetRun();
        server.setWildcard(QString());
        server.setDefaultReply(Reply::NoSuchName);
        run.check(11, QStringLiteral("taken.tk"));
        QVERIFY(run.waitFor(12));
        QVERIFY(run.delegated.value(11));
    }

    void aWildcardBelowTheExtensionIsFound()
    {
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.setWildcard(QStringLiteral(".co.uk"));
        server.addDelegated(QStringLiteral("taken.uk"));
        DnsPrecheck precheck;
        pointAt(precheck, server);
        Recorder run(precheck);
        run.check(1, QStringLiteral("shop.co.uk"));
        run.check(2, QStringLiteral("taken.uk"));
        QVERIFY(run.waitFor(2));
        QVERIFY(!run.delegated.value(1));
        QVERIFY(run.delegated.value(2));
        QCOMPARE(run.skipped, QStringList{QStringLiteral("co.uk")});
    }

    void noResolverSwitchesOff_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("silent server") << true;
        QTest::newRow("closed port") << false;
    }

    void noResolverSwitchesOff()
    {
        QFETCH(bool, silent);
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.addDelegated(QStringLiteral("taken.com"));
        server.setSilent(true);
        DnsPrecheck precheck;
        precheck.setTimeout(100, 2);
        const QString address = silent ? server.address() : QStringLiteral("127.0.0.1:%1").arg(closedPort());
        QString error;
        QVERIFY(precheck.setResolver(address, &error));
        Recorder run(precheck);
        for (quint64 id = 0; id < 50; ++id)
            run.check(id, QStringLiteral("name%1.%2")
                              .arg(id)
                              .arg(id % 2 ? QStringLiteral("com") : QStringLiteral("net")));
        QVERIFY(run.waitFor(50));
        QCOMPARE(run.switchedOff,
                 QStringList{
                     QStringLiteral("No DNS resolver answered (%1); checking every name with its registry.")
                         .arg(address)});
        QCOMPARE(run.answers.size(), 50);
        QVERIFY(!run.delegated.values().contains(true));
        QVERIFY(precheck.isSwitchedOff());
        QCOMPARE(precheck.pending(), 0);
        // Only the probes were sent (and tried again).
        QCOMPARE(precheck.queriesSent(), 2);
        QVERIFY(server.queryCount() <= (silent ? 4 : 0));

        const int queries = server.queryCount();
        run.check(50, QStringLiteral("taken.com"));
        QCOMPARE(precheck.pending(), 1); // until it is reported
        QVERIFY(run.waitFor(51));
        QVERIFY(!run.delegated.value(50));
        QCOMPARE(server.queryCount(), queries);
        QCOMPARE(run.switchedOff.size(), 1);
        QCOMPARE(run.reportedInside, 0);

        // A new run asks again.
        precheck.resetRun();
        QVERIFY(!precheck.isSwitchedOff());
        server.setSilent(false);
        QVERIFY(precheck.setResolver(server.address(), &error));
        run.check(51, QStringLiteral("taken.com"));
        QVERIFY(run.waitFor(52));
        QVERIFY(run.delegated.value(51));
    }

    void adaptsToALossyResolver_data()
    {
        QTest::addColumn<int>("dropEvery");
        QTest::addColumn<int>("maxRate");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("tries");
        QTest::addColumn<bool>("switchesOff");
        // A delay makes timeouts come back while names are still waiting, so the window shrinks
        // during the run. Without one and with a longer timeout, every timeout comes after every
        // answer, and each retried name ends with one try unanswered and one answered.
        QTest::newRow("every 2nd dropped") << 2 << 0 << 10 << 50 << 1 << true;
        QTest::newRow("every 10th dropped") << 10 << 0 << 10 << 50 << 1 << false;
        QTest::newRow("every 10th dropped, retried after the answers") << 10 << 0 << 0 << 300 << 2 << false;
        QTest::newRow("rationed to 100 a second") << 0 << 100 << 10 << 50 << 1 << true;
    }

    void adaptsToALossyResolver()
    {
        QFETCH(int, dropEvery);
        QFETCH(int, maxRate);
        QFETCH(int, delayMs);
        QFETCH(int, timeoutMs);
        QFETCH(int, tries);
        QFETCH(bool, switchesOff);
        FakeDnsServer server;
        QVERIFY(server.listen());
        const int count = 1200;
        const QStringList names = numberedNames(0, count);
        server.setDelegated(names);
        server.setDropEvery(dropEvery);
        server.setMaxRate(maxRate);
        server.setDelayMs(delayMs);
        DnsPrecheck precheck;
        pointAt(precheck, server);
        precheck.setTimeout(timeoutMs, tries);
        Recorder run(precheck);
        Feeder feeder(precheck, run);
        QCOMPARE(precheck.window(), 32);
        feeder.add(names);
        QVERIFY(run.waitFor(count));
        QCOMPARE(run.answers.size(), count);
        QVERIFY(!run.answers.values().contains(2));
        QVERIFY(feeder.shrank);
        QVERIFY(!feeder.overfilled);
        QCOMPARE(precheck.isSwitchedOff(), switchesOff);
        QCOMPARE(precheck.pending(), 0);
        if (switchesOff) {
            QCOMPARE(run.switchedOff.size(), 1);
            const QRegularExpressionMatch message =
                QRegularExpression(
                    QStringLiteral("^The DNS resolver \\(%1\\) left (\\d+) of the last (\\d+) "
                                   "queries unanswered; checking every name with its registry\\.$")
                        .arg(QRegularExpression::escape(server.address())))
                    .match(run.switchedOff.first());
            QVERIFY2(message.hasMatch(), qPrintable(run.switchedOff.first()));
            QVERIFY(message.captured(2).toInt() >= 100);
            QVERIFY(2 * message.captured(1).toInt() >= message.captured(2).toInt());
            // It stopped asking: the names left went straight to their registries.
            QVERIFY(precheck.queriesSent() < count / 2);
        } else {
            QVERIFY2(run.switchedOff.isEmpty(), qPrintable(run.switchedOff.value(0)));
            // The probe is query 1: name i is query i + 2, and a dropped one is not delegated.
            for (int i = 0; i < count && tries == 1; ++i)
                QCOMPARE(run.delegated.value(quint64(i)), (i + 2) % dropEvery != 0);
        }
        QCOMPARE(run.reportedInside, 0);
    }

    void windowGrowsBackWithAHealthyResolver()
    {
        FakeDnsServer server;
        QVERIFY(server.listen());
        const QStringList names = numberedNames(0, 800);
        server.setDelegated(names);
        server.setDropEvery(4);
        server.setDelayMs(10);
        DnsPrecheck precheck;
        pointAt(precheck, server);
        precheck.setTimeout(50, 1);
        precheck.setMaxInFlight(100);
        Recorder run(precheck);
        Feeder feeder(precheck, run);
        feeder.add(names.first(300));
        QVERIFY(run.waitFor(300));
        QVERIFY(feeder.shrank);
        QVERIFY(precheck.window() < 100);
        QVERIFY(!precheck.isSwitchedOff());

        server.setDropEvery(0);
        feeder.add(names.mid(300));
        QVERIFY(run.waitFor(800));
        QCOMPARE(precheck.window(), 100);
        for (quint64 id = 300; id < 800; ++id)
            QVERIFY(run.delegated.value(id));

        // A new run starts from the beginning.
        precheck.resetRun();
        QCOMPARE(precheck.window(), 32);
    }

    // Each row is a window's maximum and a script of steps:
    //   sent N                      N more queries go out (serials from 1, in order)
    //   answered A-B | lost A-B | other A-B   how the first tries of those serials went
    //   drop                        every query out is dropped
    //   size K · counts Q U · judged yes|no   what the window says now
    void resolverWindowFollowsTheScript_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("script");
        QTest::newRow("grows by one per answer") << 300 << "sent 10; answered 1-10; size 42; counts 10 0";
        QTest::newRow("never past the maximum") << 40 << "sent 20; answered 1-20; size 40";
        QTest::newRow("starts at the maximum when that is lower") << 8 << "size 8; sent 1; lost 1; size 4";
        QTest::newRow("losses of queries out together cost one cut")
            << 300 << "sent 10; lost 1-10; size 16; counts 10 10";
        QTest::newRow("a loss after the cut cuts again")
            << 300
            << "sent 1; lost 1; size 16; sent 1; lost 2; size 8; sent 1; lost 3; size 4; sent 1; lost 4; "
               "size 4";
        QTest::newRow("the floor never exceeds the maximum") << 2 << "sent 1; lost 1; size 2";
        QTest::newRow("a second report of a query is ignored")
            << 300 << "sent 1; answered 1; lost 1; answered 1; size 33; counts 1 0";
        QTest::newRow("other outcomes say nothing of the load")
            << 300 << "sent 5; other 1-5; size 32; counts 0 0";
        QTest::newRow("remembered in the order sent, not the order learnt")
            << 300 << "sent 3; answered 3; answered 2; counts 0 0; lost 1; counts 3 1";
        QTest::newRow("judged once a hundred are known")
            << 300 << "sent 99; lost 1-50; answered 51-99; judged no; sent 1; answered 100; judged yes";
        QTest::newRow("fewer than half lost is kept")
            << 300 << "sent 100; lost 1-49; answered 50-100; judged no";
        QTest::newRow("only the last two hundred count")
            << 300 << "sent 300; lost 1-150; answered 151-300; counts 200 50; judged no";
        QTest::newRow("dropped queries are never waited for")
            << 300 << "sent 3; answered 2-3; counts 0 0; drop; sent 2; answered 4-5; counts 2 0";
    }

    void resolverWindowFollowsTheScript()
    {
        QFETCH(int, maximum);
        QFETCH(QString, script);
        quint64 next = 1;
        ResolverWindow window(maximum, next);
        for (const QString& step : script.split(QLatin1Char(';'))) {
            const QStringList words = step.trimmed().split(QLatin1Char(' '));
            const QString& verb = words.at(0);
            const auto number = [&](int i) {
                return words.at(i).toInt();
            };
            if (verb == QLatin1String("sent")) {
                next += quint64(number(1));
            } else if (verb == QLatin1String("drop")) {
                window.dropped(next);
            } else if (verb == QLatin1String("size")) {
                QCOMPARE(window.size(), number(1));
            } else if (verb == QLatin1String("counts")) {
                QCOMPARE(window.queries(), number(1));
                QCOMPARE(window.unanswered(), number(2));
            } else if (verb == QLatin1String("judged")) {
                QCOMPARE(window.mostlyUnanswered(), words.at(1) == QLatin1String("yes"));
            } else {
                const ResolverWindow::FirstTry outcome =
                    verb == QLatin1String("answered") ? ResolverWindow::FirstTry::Answered
                    : verb == QLatin1String("lost")   ? ResolverWindow::FirstTry::Lost
                                                      : ResolverWindow::FirstTry::Other;
                const QStringList range = words.at(1).split(QLatin1Char('-'));
                for (int serial = range.first().toInt(); serial <= range.last().toInt(); ++serial)
                    window.firstTry(quint64(serial), outcome, next);
            }
            if (QTest::currentTestFailed()) {
                qWarning("at step \"%s\"", qPrintable(step.trimmed()));
                return;
            }
        }
    }

    void cancelStopsEverythingAndStaysUsable()
    {
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.addDelegated(QStringLiteral("taken.com"));
        server.setDelayMs(100);
        DnsPrecheck precheck;
        pointAt(precheck, server);
        Recorder run(precheck);
        for (quint64 id = 0; id < 20; ++id)
            run.check(id, QStringLiteral("name%1.com").arg(id));
        QTRY_VERIFY(server.queryCount() >= 1);
        precheck.cancelAll();
        QCOMPARE(precheck.pending(), 0);
        QTest::qWait(300);
        QCOMPARE(run.total, 0);

        // The probe went with the rest: the next name probes again.
        server.setDelayMs(0);
        run.check(100, QStringLiteral("taken.com"));
        QVERIFY(run.waitFor(1));
        QVERIFY(run.delegated.value(100));

        // Cancelling from a receiver drops the answers not yet reported.
        auto cancelling = connect(&precheck, &DnsPrecheck::checked, &precheck, [&] { precheck.cancelAll(); });
        for (quint64 id = 200; id < 210; ++id)
            run.check(id, QStringLiteral("taken.com"));
        QTest::qWait(200);
        QCOMPARE(run.total, 2);
        disconnect(cancelling);

        // So does deleting the pre-check from a receiver, with queries in flight.
        auto doomed = std::make_unique<DnsPrecheck>();
        pointAt(*doomed, server);
        server.setDelayMs(50);
        int reports = 0;
        connect(doomed.get(), &DnsPrecheck::checked, this, [&] {
            ++reports;
            doomed.reset();
        });
        for (quint64 id = 0; id < 100; ++id)
            doomed->check(id, id < 20 ? QStringLiteral("taken.com") : QStringLiteral("name%1.com").arg(id));
        QTRY_VERIFY(!doomed);
        QTest::qWait(100);
        QCOMPARE(reports, 1);
    }

    void manyNamesWithinTheLimit()
    {
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.setRecordQueries(false);
        const int count = 2000;
        const QStringList extensions{QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org")};
        const auto nameOf = [&](int i) {
            return QStringLiteral("name%1.%2").arg(i).arg(extensions[i % 3]);
        };
        for (int i = 0; i < count; i += 7)
            server.addDelegated(nameOf(i));
        DnsPrecheck precheck;
        pointAt(precheck, server);
        precheck.setMaxInFlight(40);
        Recorder run(precheck);
        int next = 0;
        int mostPending = 0;
        const auto feed = [&] {
            while (next < count && precheck.hasRoom()) {
                run.check(quint64(next), nameOf(next));
                ++next;
                mostPending = std::max(mostPending, precheck.pending());
            }
        };
        connect(&precheck, &DnsPrecheck::checked, this, feed);
        feed();
        QVERIFY(run.waitFor(count, 30000));
        QCOMPARE(mostPending, 40);
        QCOMPARE(run.answers.size(), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(run.answers.value(quint64(i)), 1);
            QCOMPARE(run.delegated.value(quint64(i)), i % 7 == 0);
        }
        QCOMPARE(server.queryCount(), count + 3);
        QCOMPARE(run.reportedInside, 0);
    }

    void malformedRepliesAreNoDelegation()
    {
        // Names "cutNNN.com" get their delegation cut short after NNN bytes, "flipN.com" one byte
        // changed, "loop.com" an owner name that points at itself; probes pass untouched.
        const int cutQuestionEnd = 12 + 12 + 4; // header, "\x06cutNNN\x03com\0", type and class
        const int loopQuestionEnd = 12 + 10 + 4;
        QRandomGenerator random(7);
        FakeDnsServer server;
        QVERIFY(server.listen());
        server.setReplyFilter([&](const QString& name, const QByteArray& reply) {
            if (name.startsWith(QLatin1String("cut")))
                return reply.left(name.mid(3, 3).toInt());
            QByteArray changed = reply;
            if (name.startsWith(QLatin1String("flip"))) {
                changed[random.bounded(2, int(reply.size()))] = char(random.bounded(256));
            } else if (name == QLatin1String("loop.com")) {
                changed[loopQuestionEnd] = char(0xc0);
                changed[loopQuestionEnd + 1] = char(loopQuestionEnd);
            }
            return changed;
        });
        DnsPrecheck precheck;
        pointAt(precheck, server);
        precheck.setTimeout(100, 1);
        Recorder run(precheck);
        run.check(0, QStringLiteral("free.com")); // the probe goes first and is answered
        QVERIFY(run.waitFor(1));
        server.addDelegated(QStringLiteral("cut999.com"));
        const QByteArray full = [&] {
            QString name;
            QByteArray query("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12);
            query += QByteArray("\x06"
                                "cut999\x03"
                                "com\x00\x00\x02\x00\x01",
                                16);
            return server.replyTo(query, &name);
        }();
        QVERIFY(full.size() > cutQuestionEnd + 40);
        quint64 id = 1;
        QStringList names;
        for (int length = cutQuestionEnd; length < full.size(); ++length)
            names.append(QStringLiteral("cut%1.com").arg(length, 3, 10, QLatin1Char('0')));
        const quint64 cut = quint64(names.size()) + 1;
        for (int i = 0; i < 300; ++i)
            names.append(QStringLiteral("flip%1.com").arg(i));
        names << QStringLiteral("loop.com") << QStringLiteral("whole.com");
        for (const QString& name : std::as_const(names))
            server.addDelegated(name);
        for (const QString& name : names.first(names.size() - 1))
            run.check(id++, name);
        QVERIFY(run.waitFor(int(id)));
        QCOMPARE(run.answers.size(), int(id));
        for (quint64 i = 1; i < cut; ++i)
            QVERIFY2(!run.delegated.value(i), qPrintable(QString::number(i)));
        QVERIFY(!run.delegated.value(id - 1));
        QVERIFY(!precheck.isSwitchedOff());
        // And the pre-check still works.
        run.check(id, QStringLiteral("whole.com"));
        QVERIFY(run.waitFor(int(id) + 1));
        QVERIFY(run.delegated.value(id));
    }
};

QTEST_GUILESS_MAIN(TestDnsPrecheck)
#include "test_dns_precheck.moc"
