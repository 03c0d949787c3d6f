#pragma once

#include "engine/filing/result_list_id.h"
#include "engine/search/startup.h"

#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QMenu;
class QWidget;

namespace brisquel {

class ResultLists;
class ResultListView;

// The operations on the five result lists of the main window: copy, delete, clear, the Edit menu,
// drags into Saved Domains with its file, double-clicks and the context menu of a name. The
// domain browser's lists use the double-click and the context menu too.
class ResultListActions : public QObject
{
    Q_OBJECT
public:
    enum class EditOperation
    {
        Clear,
        Copy
    };
    struct EditMenuItem
    {
        QString caption;
        EditOperation operation;
        QList<ResultList> lists;
    };
    // The Edit menu, item by item in menu order.
    static const QList<EditMenuItem>& editMenuItems();

    ResultListActions(ResultLists* lists, QString rememberedPath, QObject* parent = nullptr);

    // Binds a view's keys, clicks, double-clicks and drops to the operations.
    void setView(ResultListView* view);
    void setUrlOpener(UrlOpener openUrl) { m_openUrl = std::move(openUrl); }
    // What a double-click opens: the purchase page of the name, or else its WHOIS record.
    void setPurchase(bool purchaseOnDoubleClick, const QString& purchaseAddress);
    // Fills Saved Domains from its file without writing the file back. A file that could not be
    // read is never overwritten.
    void loadSavedDomains(const QStringList& names, bool fileReadable = true);

    // Number of the list among 1 to 4 pressed last; 0 until one is.
    int lastClickedList() const { return m_lastClickedList; }
    QString selectedDomain() const { return m_selectedDomain; }
    QString rememberedPath() const { return m_rememberedPath; }

    // The clipboard's text of names: one a line, each ended by "\n", which the clipboard hands
    // to other programs with the platform's line end (files keep CR LF).
    static QString clipboardText(const QStringList& names);

    // What a right-click on a list's entries offers, in this order.
    struct EntryMenu
    {
        QString clicked;       // the entry under the pointer: its record or purchase page opens
        QStringList names;     // the selected entries: copied, saved or deleted
        bool offerSave = true; // not on Saved Domains itself
        std::function<void()> deleteNames;
    };
    // "WHOIS record", "Buy at registrar", "Copy", "Save" (into Saved Domains), "Delete"; the items
    // without names to act on are greyed. The menu deletes itself when it closes.
    QMenu* entryMenu(const EntryMenu& entries, QWidget* parent);

public Q_SLOTS:
    void copyList(brisquel::ResultList list);
    void deleteSelectedEntry(brisquel::ResultList list);
    void clearList(brisquel::ResultList list);
    void editMenuItem(int index);
    void dropOnSavedDomains(const QString& payload);
    void dropNamesOnSavedDomains(const QStringList& names);
    void openSelectedEntry(brisquel::ResultList list);
    // A double-click on a name in any list, the domain browser's included.
    void openDomain(const QString& domain);
    // Setup's choice of what a double-click opens; the purchase address stays.
    void setPurchaseOnDoubleClick(bool purchase) { m_purchaseOnDoubleClick = purchase; }
    void openWhoisRecord(const QString& domain);
    void openPurchasePage(const QString& domain);
    void copyNames(const QStringList& names);
    bool saveSavedDomains();

Q_SIGNALS:
    // A double-click asks for the name's WHOIS record (when it does not open the purchase page).
    void whoisRequested(const QString& domain);
    // Something the user should read in the status bar.
    void notice(const QString& text);
    // Something the user has to act on: a page that could not be opened, a file not written.
    void failed(const QString& text);

private:
    void onListEdited(ResultList list);
    // Asks, and moves Remembered.txt to the backups; false when Saved Domains is to stay.
    bool confirmClearSaved();
    ResultListView* view(ResultList list) const { return m_views[static_cast<int>(list) - 1]; }
    void showEntryMenu(ResultList list, const QPoint& globalPos);

    ResultLists* m_lists;
    QString m_rememberedPath;
    std::array<ResultListView*, 5> m_views{};
    UrlOpener m_openUrl;
    bool m_purchaseOnDoubleClick = true;
    QString m_purchaseAddress;
    int m_lastClickedList = 0;
    QString m_selectedDomain;
    // Set while Saved Domains is filled by a load or a drop, which save by themselves.
    bool m_holdSaving = false;
    bool m_fileWritable = true;
};

} // namespace brisquel
