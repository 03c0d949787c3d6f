#include "engine/filing/name_set.h"

#include <QTest>

using namespace brisquel;

class TestNameSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Names that differ in a digit or two are the rule in generated and numbered lists; each must
    // count as new, or it is skipped as "already looked up" and never asked.
    void lookAlikeNamesAreAllNew()
    {
        NameSet seen;
        qsizetype refused = 0;
        QString first;
        for (int i = 0; i < 1'000'000; ++i) {
            const QString name = QStringLiteral("%1%2.com").arg(i % 10 == 9 ? u"free" : u"zone").arg(i);
            if (!seen.insert(name)) {
                ++refused;
                if (first.isEmpty())
                    first = name;
            }
        }
        QVERIFY2(refused == 0, qPrintable(QStringLiteral("%1 refused, first %2").arg(refused).arg(first)));
        QCOMPARE(seen.size(), 1'000'000);
        QVERIFY(seen.contains(QStringLiteral("zone11111.com")));
        QVERIFY(!seen.contains(QStringLiteral("zone11111.net")));
    }

    void aNameSeenAgainInAnyCaseIsNotNew()
    {
        NameSet seen;
        QVERIFY(seen.insert(QStringLiteral("Example.com")));
        QVERIFY(!seen.insert(QStringLiteral("EXAMPLE.COM")));
        QVERIFY(seen.insert(QStringLiteral("exampIe.com")));
        QVERIFY(seen.insert(QStringLiteral("bücher.de")));
        QVERIFY(!seen.insert(QStringLiteral("BÜCHER.de")));
        seen.clear();
        QVERIFY(seen.insert(QStringLiteral("example.com")));
    }
};

QTEST_GUILESS_MAIN(TestNameSet)
#include "test_name_set.moc"
