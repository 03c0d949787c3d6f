#include "tools/fake_rdap_server.h"
#include "tools/fake_whois_server.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using brisquel::test::FakeWhoisServer;
using Fault = FakeWhoisServer::Fault;

namespace {

// A plain WHOIS client: sends its line once connected and collects everything until the server closes.
struct Client : QObject
{
    Client(quint16 port, const QByteArray& line)
    {
        connect(&socket, &QAbstractSocket::connected, this, [this, line] {
            if (!line.isNull())
                socket.write(line);
        });
        connect(&socket, &QIODevice::readyRead, this, [this] { received += socket.readAll(); });
        connect(&socket, &QAbstractSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError socketError) { error = socketError; });
        connect(&socket, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
            if (state == QAbstractSocket::UnconnectedState) {
                if (socket.isReadable())
                    received += socket.readAll();
                closed = true;
            }
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
};

// Qt reports a reset like an orderly close, so resets are told apart through a plain socket.
struct RawClient
{
    RawClient(quint16 port, const QByteArray& line)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        ::send(fd, line.constData(), static_cast<size_t>(line.size()), MSG_NOSIGNAL);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readAll(); });
    }
    ~RawClient()
    {
        notifier.reset();
        ::close(fd);
    }

    void readAll()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                received.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EAGAIN)
                return;
            endError = n == 0 ? 0 : errno;
            notifier->setEnabled(false);
            return;
        }
    }

    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray received;
    int endError = -1; // 0 after an orderly close, the error number after a failure
};

QByteArray repeated(char c, int count)
{
    return QByteArray(count, c);
}

} // namespace

class TestFakeWhoisServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeWhoisServer> m_server;

    std::unique_ptr<Client> client(const QByteArray& line)
    {
        return std::make_unique<Client>(m_server->port(), line);
    }

    QByteArray exchange(const QByteArray& line)
    {
        const auto c = client(line);
        [&] {
            QTRY_VERIFY(c->closed);
        }();
        return c->received;
    }

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<FakeWhoisServer>();
        QVERIFY(m_server->listen());
        QVERIFY(m_server->port() != 0);
    }

    void cleanup() { m_server.reset(); }

    void answersFreeOrRegisteredAndCloses_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("free");
        QTest::addColumn<QString>("shown");

        QTest::newRow("label starts with free") << QByteArray("free123.com\r\n") << true << "FREE123.COM";
        QTest::newRow("label contains avail")
            << QByteArray("myavailname.net\r\n") << true << "MYAVAILNAME.NET";
        QTest::newRow("upper-case label") << QByteArray("FREEDOM.ORG\r\n") << true << "FREEDOM.ORG";
        QTest::newRow("bare word") << QByteArray("freeword\r\n") << true << "FREEWORD";
        QTest::newRow("LF alone ends the line") << QByteArray("free1.com\n") << true << "FREE1.COM";
        QTest::newRow("ordinary name") << QByteArray("example.com\r\n") << false << "EXAMPLE.COM";
        QTest::newRow("free only after the dot") << QByteArray("example.free\r\n") << false << "EXAMPLE.FREE";
        QTest::newRow("avail only after the dot")
            << QByteArray("shop.available.com\r\n") << false << "SHOP.AVAILABLE.COM";
        QTest::newRow("empty line") << QByteArray("\r\n") << false << "";
    }

    void answersFreeOrRegisteredAndCloses()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, free);
        QFETCH(QString, shown);

        const QByteArray answer = exchange(line);
        if (free) {
            QVERIFY(answer.startsWith("No match for \"" + shown.toUtf8() + "\".\r\n"));
            QVERIFY(answer.size() > 100);
        } else {
            QVERIFY(answer.startsWith("Domain Name: " + shown.toUtf8() + "\r\nRegistry Domain ID: "));
            QVERIFY(answer.contains("\r\nRegistrar: "));
        }
        QCOMPARE(m_server->queries(), QStringList{QString::fromUtf8(line).trimmed()});
    }

    void registeredRecordHoldsNoAvailabilityPhrase()
    {
        const QString record = QString::fromUtf8(FakeWhoisServer::registeredAnswer(QStringLiteral("ab.com")));
        for (const char* phrase :
             {"No match", "not registered", "not found", "available for registration", "no domain records"}) {
            QVERIFY2(!record.contains(QLatin1String(phrase), Qt::CaseInsensitive), phrase);
        }
        QVERIFY(!record.contains(QLatin1String("WHOIS Server"), Qt::CaseInsensitive));
    }

    void freeNamesCanBeListedOrAll()
    {
        m_server->setFreeNames({QStringLiteral("Example.COM"), QStringLiteral("old.com")});
        m_server->setFreeNames({QStringLiteral("Example.COM")});
        QVERIFY(m_server->isFree(QStringLiteral("example.com")));
        QVERIFY(!m_server->isFree(QStringLiteral("old.com")));
        m_server->addFreeName(QStringLiteral("other.net"));
        QVERIFY(m_server->isFree(QStringLiteral("OTHER.net")));
        QVERIFY(exchange("EXAMPLE.com\r\n").startsWith("No match for \"EXAMPLE.COM\"."));

        QVERIFY(!m_server->isFree(QStringLiteral("taken.com")));
        m_server->setAllFree(true);
        QVERIFY(exchange("taken.com\r\n").startsWith("No match for \"TAKEN.COM\"."));
        m_server->setAllFree(false);
        QVERIFY(exchange("taken.com\r\n").startsWith("Domain Name: TAKEN.COM"));
    }

    void customAnswersReplaceTheRecords()
    {
        m_server->setCustomAnswer("Query rate limit exceeded\r\n");
        m_server->setAnswerFor(QStringLiteral("Special.com"), "special\r\n");
        QCOMPARE(exchange("example.com\r\n"), QByteArray("Query rate limit exceeded\r\n"));
        QCOMPARE(exchange("SPECIAL.COM\r\n"), QByteArray("special\r\n"));

        m_server->setAnswerFor(QStringLiteral("special.com"), QByteArray());
        m_server->setCustomAnswer(QByteArray(""));
        QCOMPARE(exchange("special.com\r\n"), QByteArray());

        m_server->setCustomAnswer(QByteArray());
        QVERIFY(exchange("free2.com\r\n").startsWith("No match for"));
    }

    void delayedAnswersDoNotHoldUpOthers()
    {
        m_server->setDelayMs(1000);
        QElapsedTimer timer;
        timer.start();
        const auto first = client("free1.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 1);
        const auto second = client("example.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 2);
        QVERIFY(first->received.isEmpty());
        QTRY_VERIFY(first->closed && second->closed);
        QVERIFY(timer.elapsed() >= 1000);
        QVERIFY(first->received.startsWith("No match for \"FREE1.COM\""));
        QVERIFY(second->received.startsWith("Domain Name: EXAMPLE.COM"));
    }

    void neverAnswerKeepsTheConnectionOpen()
    {
        m_server->setFaultFor(QStringLiteral("silent.com"), Fault::NeverAnswer);
        const auto silent = client("silent.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 1);
        QVERIFY(!exchange("example.com\r\n").isEmpty());
        QVERIFY(!silent->closed);
        QVERIFY(silent->received.isEmpty());
        QCOMPARE(m_server->openConnectionCount(), 1);
        silent->socket.abort();
        QTRY_COMPARE(m_server->openConnectionCount(), 0);
    }

    void closeWithoutDataClosesInOrder()
    {
        m_server->setFault(Fault::CloseWithoutData);
        QCOMPARE(exchange("example.com\r\n"), QByteArray());
        QCOMPARE(m_server->queries(), QStringList{QStringLiteral("example.com")});

        RawClient raw(m_server->port(), "example.com\r\n");
        QTRY_VERIFY(raw.endError != -1);
        QCOMPARE(raw.endError, 0);
    }

    void resetMidAnswerResets()
    {
        m_server->setFault(Fault::ResetMidAnswer);
        const QByteArray full = FakeWhoisServer::registeredAnswer(QStringLiteral("example.com"));

        const auto c = client("example.com\r\n");
        QTRY_VERIFY(c->closed);
        QCOMPARE(c->error, QAbstractSocket::RemoteHostClosedError);
        QVERIFY(!c->received.isEmpty());
        QVERIFY(c->received.size() < full.size());
        QVERIFY(full.startsWith(c->received));

        RawClient raw(m_server->port(), "example.com\r\n");
        QTRY_VERIFY(raw.endError != -1);
        QCOMPARE(raw.endError, ECONNRESET);
        QVERIFY(!raw.received.isEmpty());
        QVERIFY(full.startsWith(raw.received));
    }

    void resetEveryResetsEveryNthAnsweredQuery()
    {
        m_server->setResetEvery(3);
        QList<int> resets;
        for (int i = 1; i <= 6; ++i) {
            RawClient raw(m_server->port(), "name" + QByteArray::number(i) + ".com\r\n");
            QTRY_VERIFY(raw.endError != -1);
            if (raw.endError == ECONNRESET)
                resets << i;
            else
                QVERIFY(raw.received.startsWith("Domain Name: NAME"));
        }
        QCOMPARE(resets, QList<int>({3, 6}));
    }

    void quotaRefusesWithItsWaitUntilTheWindowPasses()
    {
        m_server->setQuota(2, 1, "wait 1 seconds\r\n");
        QVERIFY(exchange("a.com\r\n").startsWith("Domain Name: A.COM"));
        QVERIFY(exchange("freeb.com\r\n").startsWith("No match for"));
        QCOMPARE(exchange("c.com\r\n"), QByteArray("wait 1 seconds\r\n"));
        QCOMPARE(exchange("c.com\r\n"), QByteArray("wait 1 seconds\r\n"));
        QCOMPARE(m_server->throttledCount(), 2);
        QTest::qWait(1100);
        QVERIFY(exchange("c.com\r\n").startsWith("Domain Name: C.COM"));
    }

    // Unlike the quota above, going over it costs the whole wait, not just until the second passes.
    void quotaPerSecondRefusesEverythingForItsWait()
    {
        m_server->setQuotaPerSecond(2, 2, "quota for %1 exceeded, replenished in 2 seconds\r\n");
        const QByteArray refused("quota for 127.0.0.1 exceeded, replenished in 2 seconds\r\n");
        QVERIFY(exchange("a.com\r\n").startsWith("Domain Name: A.COM"));
        QVERIFY(exchange("b.com\r\n").startsWith("Domain Name: B.COM"));
        QElapsedTimer sinceRefusal;
        QCOMPARE(exchange("c.com\r\n"), refused);
        sinceRefusal.start();
        QTest::qWait(1200);
        QCOMPARE(exchange("c.com\r\n"), refused);
        QTest::qWait(int(std::max<qint64>(0, 2100 - sinceRefusal.elapsed())));
        QVERIFY(exchange("c.com\r\n").startsWith("Domain Name: C.COM"));
        QCOMPARE(m_server->throttledCount(), 2);
    }

    void rdapRefusesEveryNthRequestWithRetryAfter()
    {
        brisquel::test::FakeRdapServer rdap;
        rdap.refuseEvery(2, 7);
        QVERIFY(rdap.listen());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, rdap.port());
        QVERIFY(socket.waitForConnected(5000));
        QByteArray received;
        QList<int> statuses;
        for (int i = 0; i < 4; ++i) {
            socket.write("GET /domain/name" + QByteArray::number(i) + ".com HTTP/1.1\r\nHost: x\r\n\r\n");
            QTRY_VERIFY((received += socket.readAll()).contains("\r\n\r\n{"));
            QTRY_VERIFY((received += socket.readAll()).endsWith("}"));
            statuses << received.mid(9, 3).toInt();
            if (statuses.last() == 429)
                QVERIFY(received.contains("Retry-After: 7\r\n"));
            received.clear();
        }
        QCOMPARE(statuses, QList<int>({200, 429, 200, 429}));
        QCOMPARE(rdap.refusedCount(), 2);
    }

    void hugeAnswerSendsTenMegabytes()
    {
        m_server->setFault(Fault::HugeAnswer);
        const auto c = client("free7.com\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(c->closed, 60000);
        QCOMPARE(c->received.size(), FakeWhoisServer::HugeAnswerSize);
        QVERIFY(c->received.startsWith(FakeWhoisServer::freeAnswer(QStringLiteral("free7.com"))));
        QCOMPARE(m_server->openConnectionCount(), 0);
    }

    void slowAnswerWaitsForTheSlowDelay()
    {
        QCOMPARE(m_server->slowDelayMs(), 9000);
        m_server->setSlowDelayMs(300);
        m_server->setFault(Fault::SlowAnswer);
        QElapsedTimer timer;
        timer.start();
        const QByteArray answer = exchange("example.com\r\n");
        QVERIFY(timer.elapsed() >= 300);
        QVERIFY(answer.startsWith("Domain Name: EXAMPLE.COM"));
    }

    void refuseAfterAcceptReadsNothing()
    {
        m_server->setFault(Fault::RefuseAfterAccept);
        QCOMPARE(exchange("example.com\r\n"), QByteArray());
        QCOMPARE(m_server->queries(), QStringList());
        QCOMPARE(m_server->connectionCount(), 1);
    }

    void perNameFaultsOverrideTheGlobalOne()
    {
        m_server->setSlowDelayMs(50);
        m_server->setFault(Fault::SlowAnswer);
        m_server->setFaultFor(QStringLiteral("Gone.com"), Fault::CloseWithoutData);
        m_server->setFaultFor(QStringLiteral("refused.com"), Fault::RefuseAfterAccept);
        QCOMPARE(exchange("gone.com\r\n"), QByteArray());
        QCOMPARE(exchange("refused.com\r\n"), QByteArray());
        QVERIFY(exchange("other.com\r\n").startsWith("Domain Name: OTHER.COM"));
        m_server->setFaultFor(QStringLiteral("gone.com"), Fault::None);
        QVERIFY(exchange("gone.com\r\n").startsWith("Domain Name: GONE.COM"));
        QCOMPARE(m_server->queries().size(), 4);
    }

    void failFirstAttemptsCountsPerName()
    {
        m_server->setFailFirstAttempts(2);
        const auto first = client("retry.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 1);
        const auto second = client("RETRY.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 2);
        const auto other = client("other.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 3);
        QVERIFY(exchange("retry.com\r\n").startsWith("Domain Name: RETRY.COM"));
        QCOMPARE(m_server->openConnectionCount(), 3);
        QVERIFY(first->received.isEmpty() && second->received.isEmpty() && other->received.isEmpty());

        m_server->resetStats();
        const auto again = client("retry.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 1);
        QCOMPARE(m_server->openConnectionCount(), 4);
    }

    void recordsQueriesInArrivalOrder()
    {
        QSignalSpy spy(m_server.get(), &FakeWhoisServer::queryReceived);
        exchange("b.com\r\n");
        exchange("A.com\n");
        exchange(" spaced.com \r\n");
        const QStringList expected{QStringLiteral("b.com"), QStringLiteral("A.com"),
                                   QStringLiteral(" spaced.com ")};
        QCOMPARE(m_server->queries(), expected);
        QCOMPARE(spy.size(), 3);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("A.com"));
        QCOMPARE(m_server->connectionCount(), 3);

        m_server->resetStats();
        QCOMPARE(m_server->queries(), QStringList());
        QCOMPARE(m_server->connectionCount(), 0);

        m_server->setRecordQueries(false);
        exchange("c.com\r\n");
        QCOMPARE(m_server->queries(), QStringList());
        QCOMPARE(spy.size(), 4);
    }

    void countsThePeakOfOpenConnections()
    {
        m_server->setFault(Fault::NeverAnswer);
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 5; ++i)
            clients.push_back(client("name" + QByteArray::number(i) + ".com\r\n"));
        QTRY_COMPARE(m_server->openConnectionCount(), 5);
        clients.clear();
        QTRY_COMPARE(m_server->openConnectionCount(), 0);
        QCOMPARE(m_server->maxConcurrentConnections(), 5);

        m_server->resetStats();
        QCOMPARE(m_server->maxConcurrentConnections(), 0);
        m_server->setFault(Fault::None);
        for (int i = 0; i < 3; ++i)
            exchange("example.com\r\n");
        QCOMPARE(m_server->maxConcurrentConnections(), 1);
        QCOMPARE(m_server->connectionCount(), 3);
    }

    void waitsForTheWholeLine()
    {
        const auto c = client(QByteArray());
        QTRY_VERIFY(c->socket.state() == QAbstractSocket::ConnectedState);
        c->socket.write("free");
        QTRY_COMPARE(c->socket.bytesToWrite(), 0);
        c->socket.write("42.com\r");
        QTRY_COMPARE(c->socket.bytesToWrite(), 0);
        QVERIFY(!c->closed);
        c->socket.write("\n");
        QTRY_VERIFY(c->closed);
        QVERIFY(c->received.startsWith("No match for \"FREE42.COM\"."));
        QCOMPARE(m_server->queries(), QStringList{QStringLiteral("free42.com")});
    }

    void overlongLinesAreCut_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("answered");
        QTest::newRow("longest line") << repeated('a', FakeWhoisServer::MaxQueryLength) + "\r\n" << true;
        QTest::newRow("one byte more") << repeated('a', FakeWhoisServer::MaxQueryLength + 1) + "\r\n"
                                       << false;
        QTest::newRow("no line end") << repeated('a', 100000) << false;
        QTest::newRow("line end far behind") << repeated('a', 20000) + "\n" << false;
    }

    void overlongLinesAreCut()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, answered);
        const QByteArray answer = exchange(line);
        QCOMPARE(!answer.isEmpty(), answered);
        QCOMPARE(m_server->queries().size(), answered ? 1 : 0);
    }

    void survivesRandomBytes()
    {
        QRandomGenerator random(20240501);
        for (int round = 0; round < 40; ++round) {
            QByteArray bytes(random.bounded(1, 6000), Qt::Uninitialized);
            for (char& byte : bytes)
                byte = static_cast<char>(random.bounded(256));
            exchange(bytes + "\n");
        }
        QVERIFY(m_server->queries().size() <= 40);
        QTRY_COMPARE(m_server->openConnectionCount(), 0);
        QVERIFY(exchange("example.com\r\n").startsWith("Domain Name: EXAMPLE.COM"));
    }

    void clientsLeavingEarlyLeaveNothingBehind()
    {
        m_server->setDelayMs(200);
        auto leaving = client("example.com\r\n");
        QTRY_COMPARE(m_server->queries().size(), 1);
        leaving.reset();
        for (int i = 0; i < 20; ++i) {
            const auto c = client(QByteArray());
            c->socket.abort();
        }
        QTRY_COMPARE(m_server->openConnectionCount(), 0);
        // Outlives the abandoned answer's delay.
        QVERIFY(exchange("example.com\r\n").startsWith("Domain Name: EXAMPLE.COM"));
        QTRY_COMPARE(m_server->findChildren<QTcpSocket*>().size(), 0);
    }

    void servesManyExchangesTwentyFiveAtATime()
    {
        const int total = 2000;
        int started = 0;
        int answered = 0;
        int freeCount = 0;
        std::vector<std::unique_ptr<Client>> running;
        while (answered < total) {
            while (running.size() < 25 && started < total) {
                const QByteArray name = (started % 10 == 0 ? "free" : "name") + QByteArray::number(started);
                running.push_back(client(name + ".com\r\n"));
                ++started;
            }
            QTRY_VERIFY(std::any_of(running.begin(), running.end(), [](const auto& c) { return c->closed; }));
            for (auto it = running.begin(); it != running.end();) {
                if (!(*it)->closed) {
                    ++it;
                    continue;
                }
                QVERIFY(!(*it)->received.isEmpty());
                freeCount += (*it)->received.startsWith("No match for") ? 1 : 0;
                ++answered;
                it = running.erase(it);
            }
        }
        QCOMPARE(freeCount, total / 10);
        QCOMPARE(m_server->connectionCount(), total);
        QVERIFY(m_server->maxConcurrentConnections() <= 25);
        QTRY_COMPARE(m_server->findChildren<QTcpSocket*>().size(), 0);
    }

    void closeDropsConnectionsAndStopsListening()
    {
        m_server->setFault(Fault::NeverAnswer);
        const auto waiting = client("example.com\r\n");
        QTRY_COMPARE(m_server->openConnectionCount(), 1);
        const quint16 port = m_server->port();
        m_server->close();
        QVERIFY(!m_server->isListening());
        QTRY_VERIFY(waiting->closed);
        QCOMPARE(m_server->openConnectionCount(), 0);

        Client refused(port, "example.com\r\n");
        QTRY_VERIFY(refused.closed);
        QCOMPARE(refused.error, QAbstractSocket::ConnectionRefusedError);
    }

    void listenFailsOnABusyPort()
    {
        FakeWhoisServer second;
        QVERIFY(!second.listen(m_server->port()));
        QVERIFY(!second.errorString().isEmpty());
    }

    void faultNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("fault");
        QTest::newRow("hyphenated") << "reset-mid-answer" << static_cast<int>(Fault::ResetMidAnswer);
        QTest::newRow("enumerator") << "NeverAnswer" << static_cast<int>(Fault::NeverAnswer);
        QTest::newRow("underscores") << "HUGE_ANSWER" << static_cast<int>(Fault::HugeAnswer);
        QTest::newRow("none") << "none" << static_cast<int>(Fault::None);
        QTest::newRow("unknown") << "explode" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void faultNames()
    {
        QFETCH(QString, name);
        QFETCH(int, fault);
        const auto parsed = FakeWhoisServer::faultFromName(name);
        QCOMPARE(parsed ? static_cast<int>(*parsed) : -1, fault);
        if (parsed)
            QVERIFY(FakeWhoisServer::faultFromName(FakeWhoisServer::faultName(*parsed)) == parsed);
    }
};

QTEST_GUILESS_MAIN(TestFakeWhoisServer)
#include "test_fake_whois_server.moc"
