#include "engine/filing/result_lists.h"
#include "main_window_controls.h"
#include "support/settings_store.h"
#include "ui/drag_payload.h"
#include "ui/result_list_actions.h"
#include "ui/result_list_view.h"
#include "ui/whois_window.h"
#include "window_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace brisquel;
using brisquel::test::WindowFixture;

namespace {

// Names that land in High (under 5), Mid (5 to 7) and Low (8 or more) Profile.
QStringList names(ResultList list, int count)
{
    const QString stem = list == ResultList::High  ? QStringLiteral("h")
                         : list == ResultList::Mid ? QStringLiteral("mid00")
                                                   : QStringLiteral("lowname0");
    QStringList result;
    for (int i = 0; i < count; ++i)
        result << stem + QString::number(i) + QStringLiteral(".com");
    return result;
}

void fill(ResultLists* lists, ResultList list, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (list == ResultList::Registered)
            lists->addRegisteredName(entry);
        else if (list == ResultList::Saved)
            lists->appendSaved({entry});
        else
            lists->addAvailableName(entry);
    }
}

void select(ResultListView* view, const QList<int>& rows, int current)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    view->selectionModel()->setCurrentIndex(view->model()->index(current, 0), QItemSelectionModel::NoUpdate);
}

void pressRow(ResultListView* view, int row)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
}

// A drop arrives after the drag entered the list, as the drag manager delivers it.
bool drop(ResultListView* view, const QMimeData* data)
{
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
    return event.isAccepted();
}

// The entries' menu of a list, as a right-click on a row (or below the last) opens it.
QMenu* entryMenu(ResultListView* view, int row)
{
    const QPoint at = row >= 0 ? view->visualRect(view->model()->index(row, 0)).center()
                               : QPoint(5, view->viewport()->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &event);
    return view->findChild<QMenu*>(QStringLiteral("mnuEntries"));
}

QStringList captions(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    return texts;
}

bool drop(ResultListView* view, const QString& text)
{
    QMimeData data;
    data.setText(text);
    return drop(view, &data);
}

// Opens a window with its lists shown, so that clicks reach their entries. With `localWhois`,
// .com is asked of 127.0.0.1 port 1, where nothing listens: a record's query stays here.
struct ShownWindow : WindowFixture
{
    explicit ShownWindow(bool localWhois = false)
    {
        if (localWhois) {
            QDir().mkpath(home);
            write(QStringLiteral("registrars.txt"), "com|127.0.0.1|1|Enabled\r\n");
        }
        open();
        window->resize(1000, 700);
        window->show();
    }
};

} // namespace

class TestResultListOperations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void payloadPieces_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QStringList>("expected");
        const QStringList abc{QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")};
        QTest::newRow("rows in order") << "0|2" << QStringList{abc[0], abc[2]};
        QTest::newRow("payload order is kept") << "2|0" << QStringList{abc[2], abc[0]};
        QTest::newRow("the same row twice") << "1|1" << QStringList{abc[1], abc[1]};
        QTest::newRow("row past the end") << "0|3" << QStringList{abc[0]};
        QTest::newRow("negative row") << "-1|1" << QStringList{abc[1]};
        QTest::newRow("text from another program") << "hello world|x" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("empty pieces") << "||1||" << QStringList{abc[1]};
        QTest::newRow("number too large") << "99999999999999999999" << QStringList{};
    }

    void payloadPieces()
    {
        QFETCH(QString, payload);
        QFETCH(QStringList, expected);
        const QStringList abc{QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")};
        QCOMPARE(entriesFromPayload(payload, abc), expected);
    }

    void payloadIsSortedRows()
    {
        QCOMPARE(dragPayload({7, 0, 3}), QStringLiteral("0|3|7"));
        QCOMPARE(dragPayload({}), QString());
    }

    void copyPutsTheListOnTheClipboard()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::Registered,
             {QStringLiteral("a.com"), QStringLiteral("b.com")});
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        test::child<QPushButton>(window, "cmdCopy2")->click();
        // The platform's line end reaches other programs; Qt hands out "\n" as that.
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a.com\nb.com\n"));

        test::child<QPushButton>(window, "cmdCopy5")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void copyFromTheEditMenu_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("list");
        QTest::newRow("Copy High") << 6 << int(ResultList::High);
        QTest::newRow("Copy Mid") << 7 << int(ResultList::Mid);
        QTest::newRow("Copy Low") << 8 << int(ResultList::Low);
        QTest::newRow("Copy Saved") << 9 << int(ResultList::Saved);
    }

    void copyFromTheEditMenu()
    {
        QFETCH(int, item);
        QFETCH(int, list);
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        for (ResultList each : {ResultList::High, ResultList::Mid, ResultList::Low, ResultList::Saved})
            fill(window->resultLists(), each, names(each == ResultList::Saved ? ResultList::High : each, 2));
        test::numberedChild<QAction>(window, "mnuEditItem_%1", item)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 ResultListActions::clipboardText(window->resultLists()->entries(ResultList(list))));
        QVERIFY(!QGuiApplication::clipboard()->text().isEmpty());
    }

    void deleteFollowsTheCounter()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        ResultLists* lists = window->resultLists();
        fill(lists, ResultList::Mid, names(ResultList::Mid, 3));
        lists->resetCounters(); // a search starts
        fill(lists, ResultList::Mid, {QStringLiteral("fresh1.com"), QStringLiteral("fresh2.com")});
        QCOMPARE(test::child<QLabel>(window, "Label4")->text(), QStringLiteral("Mid Profile (5, 2 new)"));

        select(test::child<ResultListView>(window, "List4"), {1}, 1);
        test::child<QPushButton>(window, "cmdClear4")->click();
        QCOMPARE(test::child<QLabel>(window, "Label4")->text(), QStringLiteral("Mid Profile (4, 1 new)"));
        QCOMPARE(lists->entryCount(ResultList::Mid), 4);
        QVERIFY(!lists->entries(ResultList::Mid).contains(names(ResultList::Mid, 3).at(1)));
    }

    void deleteWithNothingSelectedChangesNothing()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::High, names(ResultList::High, 3));
        test::child<ResultListView>(window, "List3")->clearSelection();
        test::child<QPushButton>(window, "cmdClear3")->click();
        QCOMPARE(window->resultLists()->entryCount(ResultList::High), 3);
        QCOMPARE(test::child<QLabel>(window, "Label3")->text(), QStringLiteral("High Profile (3, 3 new)"));
    }

    void deleteWithSeveralSelectedRemovesThemAll()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        const QStringList low = names(ResultList::Low, 5);
        fill(window->resultLists(), ResultList::Low, low);
        select(test::child<ResultListView>(window, "List1"), {0, 2, 4}, 2);
        test::child<QPushButton>(window, "cmdClear1")->click();
        QCOMPARE(window->resultLists()->entries(ResultList::Low), (QStringList{low[1], low[3]}));
        QCOMPARE(test::child<QLabel>(window, "Label1")->text(), QStringLiteral("Low Profile (2, 2 new)"));
    }

    void clearRestoresTheIdleCaption()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::Registered,
             {QStringLiteral("a.com"), QStringLiteral("b.com")});
        QCOMPARE(test::child<QLabel>(window, "Label2")->text(), QStringLiteral("Registered (2, 2 new)"));
        test::child<QPushButton>(window, "cmdClear2_2")->click();
        QCOMPARE(window->resultLists()->entryCount(ResultList::Registered), 0);
        QCOMPARE(window->resultLists()->counter(ResultList::Registered), 0);
        QCOMPARE(test::child<QLabel>(window, "Label2")->text(), QStringLiteral("Registered"));
    }

    void deleteKey_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("left");
        QTest::newRow("Delete removes the selected entry") << int(Qt::NoModifier) << 2;
        QTest::newRow("Shift+Delete clears the list") << int(Qt::ShiftModifier) << 0;
        QTest::newRow("Ctrl+Shift+Delete removes one") << int(Qt::ControlModifier | Qt::ShiftModifier) << 2;
        QTest::newRow("Ctrl+Delete removes one") << int(Qt::ControlModifier) << 2;
        QTest::newRow("Alt+Shift+Delete removes one") << int(Qt::AltModifier | Qt::ShiftModifier) << 2;
    }

    void deleteKey()
    {
        QFETCH(int, modifiers);
        QFETCH(int, left);
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::Registered,
             {QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")});
        select(test::child<ResultListView>(window, "List2"), {1}, 1);
        QTest::keyClick(test::child<ResultListView>(window, "List2"), Qt::Key_Delete,
                        Qt::KeyboardModifiers(modifiers));
        QCOMPARE(window->resultLists()->entryCount(ResultList::Registered), left);
        QCOMPARE(test::child<QLabel>(window, "Label2")->text(),
                 left == 0 ? QStringLiteral("Registered") : QStringLiteral("Registered (%1, %1 new)").arg(left));
    }

    void clearFromTheEditMenu_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QList<int>>("emptied");
        const int low = int(ResultList::Low), high = int(ResultList::High), mid = int(ResultList::Mid);
        QTest::newRow("Clear High/Mid/Low") << 0 << QList<int>{low, high, mid};
        QTest::newRow("Clear High") << 1 << QList<int>{high};
        QTest::newRow("Clear Mid") << 2 << QList<int>{mid};
        QTest::newRow("Clear Low") << 3 << QList<int>{low};
        QTest::newRow("Clear Registered") << 4 << QList<int>{int(ResultList::Registered)};
        QTest::newRow("Clear Saved") << 5 << QList<int>{int(ResultList::Saved)};
    }

    void clearFromTheEditMenu()
    {
        QFETCH(int, item);
        QFETCH(QList<int>, emptied);
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        ResultLists* lists = window->resultLists();
        fill(lists, ResultList::High, names(ResultList::High, 2));
        fill(lists, ResultList::Mid, names(ResultList::Mid, 2));
        fill(lists, ResultList::Low, names(ResultList::Low, 2));
        fill(lists, ResultList::Registered, names(ResultList::Low, 2));
        fill(lists, ResultList::Saved, names(ResultList::Low, 2));

        if (emptied.contains(int(ResultList::Saved)))
            MessageBox::setNextAnswer(QMessageBox::Yes);
        test::numberedChild<QAction>(window, "mnuEditItem_%1", item)->trigger();
        for (ResultList list : AllResultLists)
            QCOMPARE(lists->entryCount(list), emptied.contains(int(list)) ? 0 : 2);
    }

    void dragCarriesTheSelectedRows()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::Low, names(ResultList::Low, 8));
        auto* lowList = test::child<ResultListView>(window, "List1");
        auto* savedList = test::child<ResultListView>(window, "List5");
        QVERIFY(!lowList->createDragMimeData());
        select(lowList, {7, 0, 3}, 3);
        std::unique_ptr<QMimeData> data(lowList->createDragMimeData());
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral("0|3|7"));
        QVERIFY(lowList->dragEnabled());
        QVERIFY(!savedList->dragEnabled());
        QVERIFY(savedList->viewport()->acceptDrops());
    }

    void dropSavesTheNames()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        const QStringList low = names(ResultList::Low, 5);
        fill(window->resultLists(), ResultList::Low, low);
        pressRow(test::child<ResultListView>(window, "List1"), 0);
        QCOMPARE(window->listActions()->lastClickedList(), int(ResultList::Low));

        QVERIFY(drop(test::child<ResultListView>(window, "List5"), QStringLiteral("0|2|4")));
        const QStringList saved{low[0], low[2], low[4]};
        QCOMPARE(window->resultLists()->entries(ResultList::Saved), saved);
        QCOMPARE(window->resultLists()->entries(ResultList::Low), low);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")),
                 (low[0] + QStringLiteral("\r\n") + low[2] + QStringLiteral("\r\n") + low[4] +
                  QStringLiteral("\r\n"))
                     .toUtf8());

        // A name saved already is not saved twice, in the list or its file.
        QVERIFY(drop(test::child<ResultListView>(window, "List5"), QStringLiteral("0")));
        QCOMPARE(window->resultLists()->entries(ResultList::Saved), saved);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")).count(low[0].toUtf8()), 1);
    }

    void dropSavesTheNamesTakenAtDragStart()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        ResultLists* lists = window->resultLists();
        const QStringList registered = names(ResultList::Low, 4);
        fill(lists, ResultList::Registered, registered);
        auto* registeredList = test::child<ResultListView>(window, "List2");
        pressRow(registeredList, 0);
        select(registeredList, {1, 3}, 3);
        std::unique_ptr<QMimeData> data(registeredList->createDragMimeData());
        QVERIFY(data);

        // A search empties and refills the list while the drag is under way.
        lists->clear(ResultList::Registered);
        fill(lists, ResultList::Registered, names(ResultList::Mid, 4));
        QVERIFY(drop(test::child<ResultListView>(window, "List5"), data.get()));
        QCOMPARE(lists->entries(ResultList::Saved), (QStringList{registered[1], registered[3]}));
    }

    void dropOfForeignTextStillRewritesTheFile()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::High, names(ResultList::High, 2));
        pressRow(test::child<ResultListView>(window, "List3"), 1);
        QVERIFY(fixture.write(QStringLiteral("Remembered.txt"), "stale.com\r\n"));
        QVERIFY(
            drop(test::child<ResultListView>(window, "List5"), QStringLiteral("some text|from elsewhere")));
        QCOMPARE(window->resultLists()->entryCount(ResultList::Saved), 0);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")), QByteArray());
    }

    void dropBeforeAnyListWasClickedAddsNothing()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::High, names(ResultList::High, 2));
        QCOMPARE(window->listActions()->lastClickedList(), 0);
        QVERIFY(drop(test::child<ResultListView>(window, "List5"), QStringLiteral("0|1")));
        QCOMPARE(window->resultLists()->entryCount(ResultList::Saved), 0);
    }

    void savedDomainsFileFollowsEveryChange()
    {
        ShownWindow fixture;
        fixture.window.reset();
        QVERIFY(
            fixture.write(QStringLiteral("Remembered.txt"), "one.com\r\n\r\n \r\ntwo.com\r\nthree.com\r\n"));
        fixture.open();
        MainWindow* window = fixture.window.get();
        window->show();
        QCOMPARE(
            window->resultLists()->entries(ResultList::Saved),
            (QStringList{QStringLiteral("one.com"), QStringLiteral("two.com"), QStringLiteral("three.com")}));

        auto* savedList = test::child<ResultListView>(window, "List5");
        select(savedList, {1}, 1);
        test::child<QPushButton>(window, "cmdClear5")->click();
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")), QByteArray("one.com\r\nthree.com\r\n"));

        select(savedList, {0}, 0);
        QTest::keyClick(savedList, Qt::Key_Delete);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")), QByteArray("three.com\r\n"));

        // Clear asks first, and keeps what it clears in the backups.
        MessageBox::setNextAnswer(QMessageBox::No);
        test::child<QPushButton>(window, "cmdClear2_5")->click();
        QCOMPARE(MessageBox::shown().last().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(window->resultLists()->entryCount(ResultList::Saved), 1);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")), QByteArray("three.com\r\n"));
        MessageBox::setNextAnswer(QMessageBox::Yes);
        test::child<QPushButton>(window, "cmdClear2_5")->click();
        QCOMPARE(window->resultLists()->entryCount(ResultList::Saved), 0);
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")), QByteArray());
        const QStringList kept = QDir(fixture.path(QStringLiteral("backups")))
                                     .entryList({QStringLiteral("Remembered-*.txt")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fixture.read(QStringLiteral("backups/") + kept.first()), QByteArray("three.com\r\n"));
        QVERIFY(window->noticeText().contains(kept.first()));
    }

    void doubleClickOpensThePurchasePage()
    {
        ShownWindow fixture;
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::High, names(ResultList::High, 3));
        fixture.opened.clear();

        // Below the last entry nothing is selected.
        auto* highList = test::child<ResultListView>(window, "List3");
        QTest::mouseDClick(highList->viewport(), Qt::LeftButton, {},
                           QPoint(5, highList->viewport()->height() - 5));
        QVERIFY(fixture.opened.isEmpty());
        QVERIFY(window->listActions()->selectedDomain().isEmpty());

        const QString name = names(ResultList::High, 3).at(1);
        QTest::mouseDClick(highList->viewport(), Qt::LeftButton, {},
                           highList->visualRect(highList->model()->index(1, 0)).center());
        QCOMPARE(window->listActions()->selectedDomain(), name);
        QCOMPARE(fixture.opened,
                 QList<QUrl>{QUrl(window->settings()->value(SettingKeys::purchaseAddress()) + name)});
    }

    // A right-click offers what the buttons and a double-click do, on the names under the pointer:
    // the record, the purchase page, Copy, Save into Saved Domains, Delete.
    void contextMenuActsOnTheSelectedNames()
    {
        ShownWindow fixture(true);
        MainWindow* window = fixture.window.get();
        const QStringList high = names(ResultList::High, 4);
        fill(window->resultLists(), ResultList::High, high);
        auto* list = test::child<ResultListView>(window, "List3");
        fixture.opened.clear();

        pressRow(list, 1);
        QPointer<QMenu> menu = entryMenu(list, 1);
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(captions(menu),
                 (QStringList{QStringLiteral("WHOIS record"), QStringLiteral("Buy at registrar"),
                              QStringLiteral("Copy"), QStringLiteral("Save"), QStringLiteral("Delete")}));
        test::child<QAction>(menu, "mnuBuy")->trigger();
        QCOMPARE(fixture.opened,
                 QList<QUrl>{QUrl(window->settings()->value(SettingKeys::purchaseAddress()) + high.at(1))});
        test::child<QAction>(menu, "mnuWhois")->trigger();
        QVERIFY(test::companion<WhoisWindow>(window));
        QCOMPARE(test::companion<WhoisWindow>(window)->domain(), high.at(1));
        menu->close();
        QTRY_VERIFY(!menu);

        // Several selected: Copy, Save and Delete take them all, one a line.
        select(list, {0, 2}, 2);
        menu = entryMenu(list, 2);
        test::child<QAction>(menu, "mnuCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 high.at(0) + QLatin1Char('\n') + high.at(2) + QLatin1Char('\n'));
        test::child<QAction>(menu, "mnuSave")->trigger();
        QCOMPARE(window->resultLists()->entries(ResultList::Saved), (QStringList{high.at(0), high.at(2)}));
        QCOMPARE(fixture.read(QStringLiteral("Remembered.txt")),
                 (high.at(0) + QStringLiteral("\r\n") + high.at(2) + QStringLiteral("\r\n")).toUtf8());
        test::child<QAction>(menu, "mnuDelete")->trigger();
        QCOMPARE(window->resultLists()->entries(ResultList::High), (QStringList{high.at(1), high.at(3)}));
        menu->close();
        QTRY_VERIFY(!menu);

        // Below the last entry nothing is selected: nothing to act on.
        list->clearSelection();
        menu = entryMenu(list, -1);
        for (QAction* action : menu->actions())
            QVERIFY2(action->isSeparator() || !action->isEnabled(), qPrintable(action->text()));
        menu->close();
        QTRY_VERIFY(!menu);

        // Saved Domains has no Save of its own.
        auto* saved = test::child<ResultListView>(window, "List5");
        pressRow(saved, 0);
        menu = entryMenu(saved, 0);
        QCOMPARE(captions(menu),
                 (QStringList{QStringLiteral("WHOIS record"), QStringLiteral("Buy at registrar"),
                              QStringLiteral("Copy"), QStringLiteral("Delete")}));
        test::child<QAction>(menu, "mnuDelete")->trigger();
        QCOMPARE(window->resultLists()->entries(ResultList::Saved), QStringList{high.at(2)});
        menu->close();
    }

    // Setup's choice reaches what a double-click opens, without a restart.
    void doubleClickFollowsTheChoice()
    {
        ShownWindow fixture(true);
        MainWindow* window = fixture.window.get();
        fill(window->resultLists(), ResultList::Low, names(ResultList::Low, 2));
        auto* list = test::child<ResultListView>(window, "List1");
        const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
        fixture.opened.clear();
        window->listActions()->setPurchaseOnDoubleClick(false);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
        QVERIFY(fixture.opened.isEmpty());
        QVERIFY(test::companion<WhoisWindow>(window));
        QCOMPARE(test::companion<WhoisWindow>(window)->domain(), names(ResultList::Low, 2).at(1));
        window->listActions()->setPurchaseOnDoubleClick(true);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(fixture.opened.size(), 1);
    }

    void doubleClickWithoutPurchaseOpensTheWhoisRecord()
    {
        WindowFixture fixture;
        fixture.open();
        // Nothing listens on port 1 of this machine: the record's query stays here.
        QVERIFY(fixture.write(QStringLiteral("registrars.txt"), "com|127.0.0.1|1|Enabled\r\n"));
        fixture.window->settings()->setValue(SettingKeys::purchaseOnDoubleClick(), QStringLiteral("0"));
        fixture.window.reset();
        MainWindow* window = fixture.open();
        window->show();
        QCOMPARE(test::child<QGroupBox>(window, "Frame2")->title(), QStringLiteral("Domain Name Manager"));
        fill(window->resultLists(), ResultList::Saved, {QStringLiteral("kept.com")});
        fixture.opened.clear();
        auto* savedList = test::child<ResultListView>(window, "List5");
        QTest::mouseDClick(savedList->viewport(), Qt::LeftButton, {},
                           savedList->visualRect(savedList->model()->index(0, 0)).center());
        QCOMPARE(window->listActions()->selectedDomain(), QStringLiteral("kept.com"));
        QVERIFY(fixture.opened.isEmpty());
        QVERIFY(test::companion<WhoisWindow>(window));
        QCOMPARE(test::companion<WhoisWindow>(window)->domain(), QStringLiteral("kept.com"));
    }
};

QTEST_MAIN(TestResultListOperations)
#include "test_result_list_operations.moc"
