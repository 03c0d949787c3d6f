#include "engine/dispatch/lookup_router.h"
#include "engine/search/whois_query.h"
#include "tools/fake_whois_server.h"
#include "whois_config/extension_table.h"

#include <QSignalSpy>
#include <QTest>

using namespace brisquel;
using brisquel::test::FakeWhoisServer;

namespace {

const QString Local = QStringLiteral("127.0.0.1");

struct Outcome
{
    QString answer;
    QString failure;
};

// Runs one query to its end.
Outcome ask(WhoisQuery& query, const std::function<void()>& start)
{
    Outcome outcome;
    QObject::connect(&query, &WhoisQuery::answered, [&](const QString& text) { outcome.answer = text; });
    QObject::connect(&query, &WhoisQuery::failed, [&](const QString& text) { outcome.failure = text; });
    QSignalSpy answered(&query, &WhoisQuery::answered);
    QSignalSpy failed(&query, &WhoisQuery::failed);
    start();
    // Never before start() returns, so that an opener can connect after starting.
    if (answered.count() + failed.count() != 0)
        qFatal("reported inside start()");
    if (!QTest::qWaitFor([&] { return answered.count() + failed.count() > 0; }, 10000))
        outcome.failure = QStringLiteral("(no report)");
    return outcome;
}

} // namespace

class TestWhoisQuery : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void asksTheServerOfTheNamesExtension()
    {
        FakeWhoisServer comServer;
        FakeWhoisServer orgServer;
        QVERIFY(comServer.listen() && orgServer.listen());
        // Markup in a record is text like any other.
        const QByteArray record("Domain Name: NAME.ORG\r\nRegistrant: <b>Ann & Co</b>\r\nGrüße\r\n");
        orgServer.setCustomAnswer(record);
        const ExtensionTable table({{QStringLiteral("com"), Local, comServer.port(), true},
                                    {QStringLiteral("org"), Local, orgServer.port(), true}});
        const LookupRouter router(&table);
        WhoisQuery query;
        const Outcome outcome = ask(query, [&] { query.start(QStringLiteral("name.org"), router); });
        QCOMPARE(outcome.failure, QString());
        // Read as the judge reads it: lines end in LF.
        QCOMPARE(outcome.answer,
                 QString::fromUtf8(record).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(orgServer.queries(), QStringList{QStringLiteral("name.org")});
        QVERIFY(comServer.queries().isEmpty());
        QVERIFY(!query.isRunning());
    }

    void failuresSayWhy()
    {
        FakeWhoisServer server;
        QVERIFY(server.listen());
        LookupRequest local;
        local.setWhoisServer(Local, server.port());

        server.setFault(FakeWhoisServer::Fault::NeverAnswer);
        WhoisQuery silent;
        silent.setTimeoutMs(50);
        QCOMPARE(ask(silent, [&] { silent.start(QStringLiteral("a.com"), local); }).failure,
                 QStringLiteral("No answer from 127.0.0.1 within 0.05 seconds."));

        server.setFault(FakeWhoisServer::Fault::CloseWithoutData);
        WhoisQuery empty;
        QCOMPARE(ask(empty, [&] { empty.start(QStringLiteral("a.com"), local); }).failure,
                 QStringLiteral("127.0.0.1 closed the connection without an answer."));

        WhoisQuery injected;
        QVERIFY(ask(injected, [&] {
                    injected.start(QStringLiteral("a.com\r\nb.com"), local);
                }).failure.contains(QStringLiteral("not a domain name")));
        QCOMPARE(server.queries().size(), 2);

        server.close();
        WhoisQuery refused;
        QCOMPARE(ask(refused, [&] { refused.start(QStringLiteral("a.com"), local); }).failure,
                 QStringLiteral("Cannot connect to 127.0.0.1:%1: connection refused").arg(local.port));
    }

    void answerTextKeepsEveryByte()
    {
        QCOMPARE(WhoisQuery::answerText("caf\xc3\xa9"), QStringLiteral("café"));
        QCOMPARE(WhoisQuery::answerText("caf\xe9"), QStringLiteral("café"));
    }
};

QTEST_GUILESS_MAIN(TestWhoisQuery)
#include "test_whois_query.moc"
