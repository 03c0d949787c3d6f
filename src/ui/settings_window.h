#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brisquel {

class ExtensionSettings;

// frmSettings: edits registrars.txt row by row, restores the default table, switches every lookup
// to the "proxy" row and sets the default extension. The work is done by ExtensionSettings.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsWindow(ExtensionSettings* settings, QWidget* parent = nullptr);

    QLabel* Label4 = nullptr;
    QTreeWidget* lstDomains = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtExt = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtServer = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtPort = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdToggle = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QCheckBox* chkProxy = nullptr;
    QCheckBox* chkRdap = nullptr;
    QCheckBox* chkDns = nullptr;
    QCheckBox* chkConfirm = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtDns = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtDefault = nullptr;
    QLabel* Label6 = nullptr;
    // The limit of the selected row's server, as in server-limits.txt.
    QLabel* Label7 = nullptr;
    QLineEdit* txtLimit = nullptr;
    QPushButton* cmdLimit = nullptr;
    // What Save Limit did: "Limit saved for HOST: 5 a second, 2 at once".
    QLabel* lblLimitSaved = nullptr;

    // The status Add/Save gives the row: that of the row clicked last, or enabled for a new one.
    bool newRowEnabled() const { return m_newRowEnabled; }

public Q_SLOTS:
    void fillExtensionList();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
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
    void showFailure(const QString& message);

    ExtensionSettings* m_settings;
    bool m_newRowEnabled = true;
    // Once a column was clicked, every refill stays sorted by it; each click flips the order.
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

} // namespace brisquel
