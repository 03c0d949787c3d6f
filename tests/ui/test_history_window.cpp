#include "history/history_format.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "ui/file_dialog.h"
#include "ui/history_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

using namespace brisquel;
using brisquel::test::WindowFixture;

namespace {

CheckRecord checkOf(const QString& name, Verdict verdict, const QString& detail = QString())
{
    CheckRecord record;
    record.name = name;
    record.ascii = name;
    record.verdict = verdict;
    record.detail = detail;
    record.server = QStringLiteral("whois.example");
    record.checked = QDateTime(QDate(2026, 12, 7), QTime(9, 30), Qt::UTC);
    return record;
}

QStringList namesShown(const QTableView* table)
{
    QStringList names;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        names << table->model()->index(row, 0).data().toString();
    return names;
}

// Notes how the cells of each column are drawn: the text cut at its end or in its middle.
class DrawnCells : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ItemViewItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option))
                elideModes.insert(item->index.column(), item->textElideMode);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    mutable QHash<int, Qt::TextElideMode> elideModes;
};

} // namespace

// The history window: what searches recorded, filtered, followed as it grows, copied and exported.
class TestHistoryWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsFiltersFollowsAndExports()
    {
        WindowFixture fixture;
        MainWindow* window = fixture.open();
        HistoryStore* store = window->history();
        QVERIFY(store);
        store->record(checkOf(QStringLiteral("shopone.com"), Verdict::Available));
        store->record(
            checkOf(QStringLiteral("taken.com"), Verdict::Registered, QStringLiteral("Registered")));
        store->record(
            checkOf(QStringLiteral("shop,two.net"), Verdict::NotRegistrable, QStringLiteral("reserved")));
        store->flush();

        test::child<QAction>(window, "mnuHistory")->trigger();
        HistoryWindow* history = test::companion<HistoryWindow>(window);
        QVERIFY(history && history->isVisible());
        QCOMPARE(history->objectName(), QStringLiteral("frmHistory"));
        QCOMPARE(history->windowTitle(), QStringLiteral("History"));
        history->setPollInterval(20);
        auto* table = test::child<QTableView>(history, "tblHistory");
        auto* status = test::child<QLabel>(history, "lblStatus");
        QCOMPARE(namesShown(table), (QStringList{QStringLiteral("shopone.com"), QStringLiteral("taken.com"),
                                                 QStringLiteral("shop,two.net")}));
        QCOMPARE(status->text(), QStringLiteral("3 checks"));

        // The filter narrows as the user types, by part of a name or by wildcards.
        auto* filter = test::child<QLineEdit>(history, "txtFilter");
        QTest::keyClicks(filter, QStringLiteral("shop"));
        QCOMPARE(namesShown(table),
                 (QStringList{QStringLiteral("shopone.com"), QStringLiteral("shop,two.net")}));
        QTest::keyClicks(filter, QStringLiteral("*.net"));
        QCOMPARE(namesShown(table), QStringList{QStringLiteral("shop,two.net")});
        QCOMPARE(status->text(), QStringLiteral("1 of 3 checks match"));
        filter->setText(QStringLiteral("SHOP"));

        // What a search records after the window opened comes in at the next poll, filtered too.
        store->record(checkOf(QStringLiteral("shopthree.org"), Verdict::Unanswered));
        store->record(checkOf(QStringLiteral("other.org"), Verdict::Registered));
        store->flush();
        QTRY_COMPARE(table->model()->rowCount(), 3);
        QCOMPARE(namesShown(table).last(), QStringLiteral("shopthree.org"));
        QCOMPARE(status->text(), QStringLiteral("3 of 5 checks match"));

        // Sorted by a header; exported as shown, in the CSV of `history`, CR LF and all, and the
        // status line says where.
        table->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
        QCOMPARE(namesShown(table).first(), QStringLiteral("shopthree.org"));
        const QString csv = fixture.path(QStringLiteral("export.csv"));
        FileDialog::setNextFileName(csv);
        test::child<QPushButton>(history, "cmdExport")->click();
        QCOMPARE(FileDialog::lastDirectory(), fixture.path(QStringLiteral("history.csv")));
        QCOMPARE(status->toolTip(),
                 QStringLiteral("Exported 3 checks to %1").arg(QDir::toNativeSeparators(csv)));
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(
            fixture.read(QStringLiteral("export.csv")),
            QByteArray(
                "name,ascii,verdict,detail,server,method,state,expires,checked\r\n"
                "shopthree.org,shopthree.org,unanswered,,whois.example,whois,,,2026-12-07T09:30:00.000Z\r\n"
                "shopone.com,shopone.com,free,,whois.example,whois,,,2026-12-07T09:30:00.000Z\r\n"
                "\"shop,two.net\",\"shop,two.net\",not-registrable,reserved,whois.example,whois,,,"
                "2026-12-07T09:30:00.000Z\r\n"));

        // The selected rows, tab-separated, as shown.
        auto* copy = test::child<QPushButton>(history, "cmdCopy");
        QVERIFY(!copy->isEnabled());
        table->selectRow(2);
        QVERIFY(copy->isEnabled());
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(table, QKeySequence::Copy);
        const QString checked = historyCell(checkOf(QString(), Verdict::Available), HistoryColumn::Checked);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("shop,two.net\tnot registrable\treserved\twhois.example\tWHOIS\t\t\t%1\n")
                     .arg(checked));

        // A file that cannot be written is said in a box, not left to be found missing.
        MessageBox::setNextAnswer(QMessageBox::Ok);
        FileDialog::setNextFileName(fixture.path(QStringLiteral("no such folder/export.csv")));
        test::child<QPushButton>(history, "cmdExport")->click();
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::shown().last().icon, QMessageBox::Warning);
        QVERIFY2(MessageBox::shown().last().text.startsWith(
                     QStringLiteral("The history was not exported. Cannot write ")),
                 qPrintable(MessageBox::shown().last().text));
        QVERIFY(status->toolTip().startsWith(QStringLiteral("Exported 3 checks")));
    }

    // The words of the main window (free, taken), the server asked and how; a detail cut short keeps
    // its beginning and shows whole in its tooltip.
    void columnsSayWhatWasAskedInTheWindowsWords()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(HistoryStore::FileName));
        HistoryStore store(path);
        QString notice;
        QString error;
        QVERIFY(store.open(&notice, &error));
        const QString detail =
            QStringLiteral("No match for the name; the registry says it may be registered by anyone "
                           "with an accredited registrar, see the terms of use");
        store.record(checkOf(QStringLiteral("free.com"), Verdict::Available, detail));
        CheckRecord rdap = checkOf(QStringLiteral("taken.org"), Verdict::Registered);
        rdap.method = CheckMethod::Rdap;
        rdap.server = QStringLiteral("https://rdap.example/");
        store.record(rdap);
        CheckRecord dns =
            checkOf(QStringLiteral("dns.net"), Verdict::Registered, QStringLiteral("delegated in DNS"));
        dns.method = CheckMethod::Dns;
        dns.server.clear();
        store.record(dns);
        store.record(checkOf(QStringLiteral("quiet.com"), Verdict::Unanswered));
        store.record(checkOf(QStringLiteral("premium.com"), Verdict::NotRegistrable));
        store.flush();

        HistoryWindow window(path);
        window.resize(700, 300);
        window.show();
        auto* table = test::child<QTableView>(&window, "tblHistory");
        QTRY_COMPARE(table->model()->rowCount(), 5);
        QStringList titles;
        for (int column = 0; column < table->model()->columnCount(); ++column)
            titles << table->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(titles,
                 (QStringList{QStringLiteral("Name"), QStringLiteral("Verdict"), QStringLiteral("Detail"),
                              QStringLiteral("Server"), QStringLiteral("Method"), QStringLiteral("State"),
                              QStringLiteral("Expires"), QStringLiteral("Checked")}));
        const auto cell = [table](int row, HistoryTableColumn column, int role = Qt::DisplayRole) {
            return table->model()->index(row, int(column)).data(role).toString();
        };
        QStringList verdicts;
        for (int row = 0; row < 5; ++row)
            verdicts << cell(row, HistoryTableColumn::Verdict);
        QCOMPARE(verdicts,
                 (QStringList{QStringLiteral("free"), QStringLiteral("taken"), QStringLiteral("taken"),
                              QStringLiteral("unanswered"), QStringLiteral("not registrable")}));
        QCOMPARE(cell(0, HistoryTableColumn::Server), QStringLiteral("whois.example"));
        QCOMPARE(cell(0, HistoryTableColumn::Method), QStringLiteral("WHOIS"));
        QCOMPARE(cell(1, HistoryTableColumn::Server), QStringLiteral("https://rdap.example/"));
        QCOMPARE(cell(1, HistoryTableColumn::Method), QStringLiteral("RDAP"));
        QCOMPARE(cell(2, HistoryTableColumn::Server), QString());
        QCOMPARE(cell(2, HistoryTableColumn::Method), QStringLiteral("DNS"));

        // The detail column is narrower than the detail: its start is drawn, the whole is the tooltip.
        QCOMPARE(cell(0, HistoryTableColumn::Detail, Qt::ToolTipRole), detail);
        QVERIFY(table->columnWidth(int(HistoryTableColumn::Detail)) <
                table->fontMetrics().horizontalAdvance(detail));
        auto* drawn = new DrawnCells;
        table->setStyle(drawn);
        table->viewport()->grab();
        QCOMPARE(drawn->elideModes.value(int(HistoryTableColumn::Detail)), Qt::ElideRight);
        // A long name keeps its extension in sight.
        QCOMPARE(drawn->elideModes.value(int(HistoryTableColumn::Name)), Qt::ElideMiddle);
        table->setStyle(nullptr);
        delete drawn;
    }

    void waitsForAHistoryToAppear()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(HistoryStore::FileName));
        HistoryWindow window(path);
        window.setPollInterval(20);
        window.show();
        auto* status = test::child<QLabel>(&window, "lblStatus");
        QVERIFY2(status->text().startsWith(QStringLiteral("No history yet")), qPrintable(status->text()));
        QVERIFY(!test::child<QPushButton>(&window, "cmdExport")->isEnabled());

        HistoryStore store(path);
        QString notice;
        QString error;
        QVERIFY2(store.open(&notice, &error), qPrintable(error));
        store.record(checkOf(QStringLiteral("first.com"), Verdict::Available));
        store.flush();
        QTRY_COMPARE(status->text(), QStringLiteral("1 check"));
        QCOMPARE(namesShown(test::child<QTableView>(&window, "tblHistory")),
                 QStringList{QStringLiteral("first.com")});
    }

    // Only the newest checks are kept, however many come at once or later.
    void keepsTheNewestChecks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(HistoryStore::FileName));
        HistoryStore store(path);
        QString notice;
        QString error;
        QVERIFY(store.open(&notice, &error));
        const auto record = [&store](int from, int to) {
            for (int i = from; i <= to; ++i)
                store.record(checkOf(QStringLiteral("name%1.com").arg(i), Verdict::Registered));
            store.flush();
        };
        record(1, 2);
        HistoryTableModel model(path, 3);
        model.refresh();
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!model.isCapped());
        record(3, 4);
        model.refresh();
        QCOMPARE(model.rowCount(), 3);
        QVERIFY(model.isCapped());
        QCOMPARE(model.record(0).name, QStringLiteral("name2.com"));
        record(5, 9);
        model.refresh();
        QCOMPARE(model.record(0).name, QStringLiteral("name7.com"));
        QCOMPARE(model.record(2).name, QStringLiteral("name9.com"));
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"
