#include "engine/filing/result_lists.h"

#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>

using namespace brisquel;

namespace {

QStringList names(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* text : texts)
        list << QString::fromLatin1(text);
    return list;
}

} // namespace

class TestResultLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filesByLabelLength_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("expected"); // list number, 0 for nowhere

        QTest::newRow("4 letters: High") << QStringLiteral("abcd.com") << int(ResultList::High);
        QTest::newRow("5 letters: Mid") << QStringLiteral("abcde.com") << int(ResultList::Mid);
        QTest::newRow("7 letters: Mid") << QStringLiteral("abcdefg.com") << int(ResultList::Mid);
        QTest::newRow("8 letters: Low") << QStringLiteral("abcdefgh.com") << int(ResultList::Low);
        QTest::newRow("label is before the first dot")
            << QStringLiteral("mail.abcdefghij.com") << int(ResultList::High);
        QTest::newRow("hyphen counts") << QStringLiteral("ab-cd.info") << int(ResultList::Mid);
        QTest::newRow("two-part extension") << QStringLiteral("abc.co.uk") << int(ResultList::High);
        QTest::newRow("no dot: the whole name") << QStringLiteral("abcdefgh") << int(ResultList::Low);
        QTest::newRow(".org alone") << QStringLiteral(".org") << int(ResultList::High);
        QTest::newRow(".com alone") << QStringLiteral(".com") << 0;
        QTest::newRow(".net alone") << QStringLiteral(".net") << 0;
        QTest::newRow("empty") << QString() << 0;
    }

    void filesByLabelLength()
    {
        QFETCH(QString, domain);
        QFETCH(int, expected);
        ResultLists lists;
        QSignalSpy filed(&lists, &ResultLists::availableNameFiled);
        QSignalSpy captions(&lists, &ResultLists::captionChanged);

        const std::optional<ResultList> where = lists.addAvailableName(domain);
        QCOMPARE(where ? int(*where) : 0, expected);
        for (ResultList list : AllResultLists) {
            const bool target = int(list) == expected;
            QCOMPARE(lists.entries(list), target ? QStringList{domain} : QStringList());
            QCOMPARE(lists.counter(list), target ? 1 : 0);
            QCOMPARE(lists.caption(list), target ? countedCaption(list, 1, 1) : idleCaption(list));
        }
        QCOMPARE(filed.size(), expected ? 1 : 0);
        QCOMPARE(captions.size(), expected ? 1 : 0);
    }

    void captionCountsTheEntryItAnnounces()
    {
        ResultLists lists;
        QStringList events;
        connect(&lists, &ResultLists::captionChanged, this, [&](ResultList list, const QString& caption) {
            events << QStringLiteral("caption %1 at %2 entries").arg(caption).arg(lists.entryCount(list));
        });
        connect(&lists, &ResultLists::availableNameFiled, this, [&](ResultList list, const QString& domain) {
            events << QStringLiteral("filed %1 at %2 entries").arg(domain).arg(lists.entryCount(list));
        });
        lists.addAvailableName(QStringLiteral("abcd.com"));
        QCOMPARE(events, names({"caption High Profile (1, 1 new) at 1 entries", "filed abcd.com at 1 entries"}));
    }

    // A list run again, or a name found by the browser and the search: counted, listed once.
    void sameNameIsListedOnce()
    {
        ResultLists lists;
        QSignalSpy filed(&lists, &ResultLists::availableNameFiled);
        bool added = false;
        QCOMPARE(lists.addAvailableName(QStringLiteral("abcd.com"), &added), ResultList::High);
        QVERIFY(added);
        QCOMPARE(lists.addAvailableName(QStringLiteral("abcd.com"), &added), ResultList::High);
        QVERIFY(!added);
        lists.addRegisteredName(QStringLiteral("taken.com"));
        lists.addRegisteredName(QStringLiteral("taken.com"));
        QCOMPARE(lists.entries(ResultList::High), names({"abcd.com"}));
        QCOMPARE(filed.size(), 1);
        QCOMPARE(lists.entries(ResultList::Registered), names({"taken.com"}));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (1, 2 new)"));

        // Deleted or cleared, a name can come back.
        QVERIFY(lists.deleteEntry(ResultList::High, 0));
        lists.addAvailableName(QStringLiteral("abcd.com"), &added);
        QVERIFY(added);
        lists.clear(ResultList::Registered);
        lists.addRegisteredName(QStringLiteral("taken.com"));
        QCOMPARE(lists.entries(ResultList::Registered), names({"taken.com"}));
    }

    void registeredListShowsAtMost101()
    {
        ResultLists lists;
        QVERIFY(!lists.addRegisteredName(QStringLiteral(".com")));
        QCOMPARE(lists.counter(ResultList::Registered), 0);
        for (int i = 1; i <= 101; ++i)
            QVERIFY(lists.addRegisteredName(QStringLiteral("taken%1.com").arg(i)));
        QCOMPARE(lists.entryCount(ResultList::Registered), 101);
        QCOMPARE(lists.caption(ResultList::Registered), QStringLiteral("Registered (101, 101 new)"));

        lists.addRegisteredName(QStringLiteral("taken102.com"));
        QCOMPARE(lists.entries(ResultList::Registered), names({"taken102.com"}));
        QCOMPARE(lists.caption(ResultList::Registered), QStringLiteral("Registered (1 shown, 102 new)"));
    }

    // A caption says how many names are listed, and how many of them this search found.
    void countersRestartButEntriesStay()
    {
        ResultLists lists;
        for (const char* name : {"abcde.com", "bcdef.com", "cdefg.com"})
            lists.addAvailableName(QString::fromLatin1(name));
        lists.addRegisteredName(QStringLiteral("taken.com"));
        QSignalSpy captions(&lists, &ResultLists::captionChanged);

        lists.resetCounters();
        QCOMPARE(lists.counter(ResultList::Mid), 0);
        QCOMPARE(lists.caption(ResultList::Mid), QStringLiteral("Mid Profile (3)"));
        QCOMPARE(lists.caption(ResultList::Registered), QStringLiteral("Registered (1)"));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (0)"));
        QCOMPARE(lists.entryCount(ResultList::Mid), 3);

        lists.addAvailableName(QStringLiteral("defgh.com"));
        lists.addAvailableName(QStringLiteral("efghi.com"));
        lists.addAvailableName(QStringLiteral("abcd.com"));
        QCOMPARE(lists.caption(ResultList::Mid), QStringLiteral("Mid Profile (5, 2 new)"));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (1, 1 new)"));
        QCOMPARE(lists.entryCount(ResultList::Mid), 5);

        QVERIFY(lists.deleteEntry(ResultList::Mid, 0));
        QCOMPARE(lists.caption(ResultList::Mid), QStringLiteral("Mid Profile (4, 1 new)"));
        QCOMPARE(lists.entryCount(ResultList::Mid), 4);

        // Deleting older entries never counts below nothing found.
        QVERIFY(lists.deleteEntry(ResultList::Mid, 0));
        QVERIFY(lists.deleteEntry(ResultList::Mid, 0));
        QCOMPARE(lists.caption(ResultList::Mid), QStringLiteral("Mid Profile (2)"));
        QCOMPARE(lists.entryCount(ResultList::Mid), 2);
    }

    void deleteRemovesOneEntry()
    {
        ResultLists lists;
        lists.addAvailableName(QStringLiteral("abcd.com"));
        lists.addAvailableName(QStringLiteral("bcde.com"));
        lists.addAvailableName(QStringLiteral("cdef.com"));
        lists.setSaved(names({"x.com", "y.com"}));
        QSignalSpy edited(&lists, &ResultLists::listEdited);

        QVERIFY(lists.deleteEntry(ResultList::High, 1));
        QCOMPARE(lists.entries(ResultList::High), names({"abcd.com", "cdef.com"}));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (2, 2 new)"));
        QCOMPARE(edited.size(), 1);
        QCOMPARE(edited.at(0).at(0).value<ResultList>(), ResultList::High);

        QVERIFY(lists.deleteEntry(ResultList::Saved, 0));
        QCOMPARE(lists.entries(ResultList::Saved), names({"y.com"}));
        QCOMPARE(lists.caption(ResultList::Saved), QStringLiteral("Saved Domains"));
    }

    void deleteWithoutAValidRowChangesNothing_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("nothing selected") << -1;
        QTest::newRow("past the end") << 2;
        QTest::newRow("far past the end") << 1000000;
    }

    void deleteWithoutAValidRowChangesNothing()
    {
        QFETCH(int, row);
        ResultLists lists;
        lists.addAvailableName(QStringLiteral("abcd.com"));
        lists.addAvailableName(QStringLiteral("bcde.com"));
        QSignalSpy edited(&lists, &ResultLists::listEdited);
        QSignalSpy captions(&lists, &ResultLists::captionChanged);

        QVERIFY(!lists.deleteEntry(ResultList::High, row));
        QVERIFY(!lists.deleteEntry(ResultList::Mid, 0));
        QCOMPARE(lists.entryCount(ResultList::High), 2);
        QCOMPARE(lists.counter(ResultList::High), 2);
        QCOMPARE(lists.counter(ResultList::Mid), 0);
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (2, 2 new)"));
        QCOMPARE(edited.size(), 0);
        QCOMPARE(captions.size(), 0);
    }

    void clearEmptiesOneListAndShowsTheIdleCaption()
    {
        ResultLists lists;
        lists.addAvailableName(QStringLiteral("abcd.com"));
        lists.addAvailableName(QStringLiteral("abcde.com"));
        lists.addRegisteredName(QStringLiteral("taken.com"));
        lists.setSaved(names({"kept.com"}));
        QSignalSpy edited(&lists, &ResultLists::listEdited);

        lists.clear(ResultList::Registered);
        QCOMPARE(lists.entryCount(ResultList::Registered), 0);
        QCOMPARE(lists.counter(ResultList::Registered), 0);
        QCOMPARE(lists.caption(ResultList::Registered), QStringLiteral("Registered"));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (1, 1 new)"));
        QCOMPARE(lists.entries(ResultList::Saved), names({"kept.com"}));
        QCOMPARE(edited.size(), 1);

        lists.addRegisteredName(QStringLiteral("again.com"));
        QCOMPARE(lists.caption(ResultList::Registered), QStringLiteral("Registered (1, 1 new)"));

        lists.clear(ResultList::Saved);
        QCOMPARE(lists.entryCount(ResultList::Saved), 0);
        QCOMPARE(lists.entryCount(ResultList::High), 1);
        QCOMPARE(lists.entryCount(ResultList::Mid), 1);
        QCOMPARE(edited.size(), 2);
    }

    void savedDomainsChangeOnlyWhenAsked()
    {
        ResultLists lists;
        QSignalSpy edited(&lists, &ResultLists::listEdited);
        lists.setSaved(names({"a.com", "a.com"}));
        QCOMPARE(lists.appendSaved(names({"b.com", "a.com", "b.com"})), 1);
        QCOMPARE(lists.entries(ResultList::Saved), names({"a.com", "b.com"}));
        QCOMPARE(edited.size(), 2);
        // Nothing new: no edit, no write.
        QCOMPARE(lists.appendSaved(names({"a.com"})), 0);
        QCOMPARE(edited.size(), 2);
        QCOMPARE(lists.caption(ResultList::Saved), QStringLiteral("Saved Domains"));

        lists.addAvailableName(QStringLiteral("abcd.com"));
        lists.resetResultLists();
        QCOMPARE(lists.entryCount(ResultList::Saved), 2);
    }

    // The watch list's news stays on a saved name until it is seen or the name goes.
    void savedNamesCarryNewsUntilSeen()
    {
        ResultLists lists;
        lists.setSaved(names({"a.com", "b.com"}));
        QVERIFY(!lists.markNews(QStringLiteral("other.com"), QStringLiteral("came free"), QString()));
        QVERIFY(lists.markNews(QStringLiteral("b.com"), QStringLiteral("came free"), QStringLiteral("came free: b.com")));
        QVERIFY(lists.markNews(QStringLiteral("a.com"), QStringLiteral("dropping"), QStringLiteral("started dropping")));
        const QAbstractItemModel* model = lists.model(ResultList::Saved);
        QCOMPARE(model->index(1, 0).data(ResultLists::NewsRole).toString(), QStringLiteral("came free"));
        QCOMPARE(model->index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("came free: b.com"));
        QCOMPARE(lists.entries(ResultList::Saved), names({"a.com", "b.com"}));
        QCOMPARE(lists.newsCount(), 2);

        lists.markSeen(QStringLiteral("b.com"));
        QCOMPARE(model->index(1, 0).data(ResultLists::NewsRole).toString(), QString());
        QVERIFY(lists.deleteEntry(ResultList::Saved, 0));
        QCOMPARE(lists.newsCount(), 0);
    }

    void resetEmptiesListsOneToFourAndKeepsCaptions()
    {
        ResultLists lists;
        lists.addAvailableName(QStringLiteral("abcd.com"));
        lists.addAvailableName(QStringLiteral("abcdefgh.com"));
        lists.addRegisteredName(QStringLiteral("taken.com"));
        QSignalSpy edited(&lists, &ResultLists::listEdited);
        QSignalSpy captions(&lists, &ResultLists::captionChanged);

        lists.resetResultLists();
        for (ResultList list : {ResultList::Low, ResultList::Registered, ResultList::High, ResultList::Mid}) {
            QCOMPARE(lists.entryCount(list), 0);
            QCOMPARE(lists.counter(list), 0);
        }
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (1, 1 new)"));
        QCOMPARE(captions.size(), 0);
        // The Mid list was empty already: nothing to say about it.
        QCOMPARE(edited.size(), 3);

        lists.addAvailableName(QStringLiteral("abcd.com"));
        QCOMPARE(lists.caption(ResultList::High), QStringLiteral("High Profile (1, 1 new)"));
        QCOMPARE(lists.entryCount(ResultList::High), 1);
    }

    // bench/filing_bench times it.
    void filesTensOfThousands()
    {
        ResultLists lists;
        for (int i = 0; i < 60000; ++i) {
            lists.addAvailableName(QStringLiteral("n%1.com").arg(i));
            lists.addRegisteredName(QStringLiteral("t%1.com").arg(i));
        }
        QCOMPARE(lists.entryCount(ResultList::High) + lists.entryCount(ResultList::Mid), 60000);
        QCOMPARE(lists.counter(ResultList::Registered), 60000);
    }
};

QTEST_GUILESS_MAIN(TestResultLists)
#include "test_result_lists.moc"
