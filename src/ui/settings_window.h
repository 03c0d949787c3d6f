#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QGroupBox;
class QPlainTextEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brisquel {

class ExtensionSettings;
class ProxyTester;

// The settings window: edits registrars.txt row by row, restores the default table, switches every lookup
// to the "proxy" row, sets the default extension and the network proxies (and tests them). The work
// is done by ExtensionSettings and ProxyTester.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsWindow(ExtensionSettings* settings, QWidget* parent = nullptr);

    // The status Add/Save gives the row: that of the row clicked last, or enabled for a new one.
    bool newRowEnabled() const { return m_newRowEnabled; }

public Q_SLOTS:
    void fillExtensionList();

Q_SIGNALS:
    // "Check saved names now": the saved names are to be checked at once, not at the next interval.
    void checkSavedNamesNowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void arrange();
    void onRowClicked(QTreeWidgetItem* item);
    void sortByColumn(int column);
    void saveRow();
    void toggleRow();
    void deleteSelected();
    void newExtension();
    void restoreDefaults();
    void defaultExtensionLeft();
    void dnsServerLeft();
    void saveLimit();
    QGroupBox* buildProxyBox();
    // Tab goes through the controls in the order they are seen: top to bottom, left to right.
    void orderTabs();
    // The bad lines of the proxies file, under the box's results while proxies are in use.
    void showProxyFileProblems();
    void proxiesFileLeft();
    void browseProxiesFile();
    void testProxies();
    void showFailure(const QString& message);

    ExtensionSettings* m_settings;
    QTreeWidget* m_extensionList = nullptr;
    QLineEdit* m_extensionEdit = nullptr;
    QLineEdit* m_serverEdit = nullptr;
    QLineEdit* m_portEdit = nullptr;
    // The limit of the selected row's server, as in server-limits.txt.
    QLineEdit* m_limitEdit = nullptr;
    // What Save Limit did: "Limit saved for HOST: 5 a second, 2 at once".
    QLabel* m_limitSaved = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_saveLimitButton = nullptr;
    QPushButton* m_toggleButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_newExtensionButton = nullptr;
    QPushButton* m_restoreDefaultsButton = nullptr;
    QCheckBox* m_proxyBox = nullptr;
    QCheckBox* m_rdapBox = nullptr;
    QCheckBox* m_confirmBox = nullptr;
    QSpinBox* m_historyDaysBox = nullptr;
    QSpinBox* m_watchHoursBox = nullptr;
    QPushButton* m_checkSavedNowButton = nullptr;
    // What a double-click on a name opens: the purchase page, or the WHOIS record.
    QComboBox* m_doubleClickBox = nullptr;
    QCheckBox* m_dnsBox = nullptr;
    QLineEdit* m_dnsServerEdit = nullptr;
    QLineEdit* m_defaultExtensionEdit = nullptr;
    QCheckBox* m_netProxiesBox = nullptr;
    QLineEdit* m_proxiesFileEdit = nullptr;
    QPushButton* m_browseProxiesButton = nullptr;
    QPushButton* m_testProxiesButton = nullptr;
    // One line per proxy tested: "socks5://host:port: works (42 ms)" or what failed.
    QPlainTextEdit* m_proxyResults = nullptr;
    QLabel* m_proxyProblems = nullptr;
    ProxyTester* m_proxyTester = nullptr;
    bool m_newRowEnabled = true;
    // Once a column was clicked, every refill stays sorted by it; each click flips the order.
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

} // namespace brisquel
