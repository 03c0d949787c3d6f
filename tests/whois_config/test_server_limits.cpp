#include "whois_config/server_limits.h"

#include <QTest>

using namespace brisquel;

class TestServerLimits : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linesEndInAnyWay()
    {
        for (const char* end : {"\n", "\r\n", "\r"}) {
            ServerLimitsTable table;
            QList<ServerLimitsTable::Problem> problems;
            table.load(QByteArray("# limits") + end + "whois.a.example rate=5/s connections=2" + end +
                           "whois.b.example daily=100" + end,
                       QStringLiteral("server-limits.txt"), &problems);
            QVERIFY(problems.isEmpty());
            QCOMPARE(table.limitsFor(QStringLiteral("whois.a.example")).connections, 2);
            QCOMPARE(table.limitsFor(QStringLiteral("whois.b.example")).daily, 100);
        }
    }
};

QTEST_GUILESS_MAIN(TestServerLimits)
#include "test_server_limits.moc"
