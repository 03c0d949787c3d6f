#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brisquel {

class ExtensionSettings;

// The top of the Setup window: registrars.txt row by row (add, save, enable or disable, delete,
// restore the default table), and the limit of each row's server as server-limits.txt has it.
class RegistrarsBox : public QWidget
{
    Q_OBJECT
public:
    explicit RegistrarsBox(ExtensionSettings* settings, QWidget* parent = nullptr);

    // The status Add/Save gives the row: that of the row clicked last, or enabled for a new one.
    bool newRowEnabled() const { return m_newRowEnabled; }
    void fillExtensionList();
    // Its controls in the order Tab goes through them.
    QList<QWidget*> tabOrder() const;

Q_SIGNALS:
    void failed(const QString& message);

private:
    void build();
    void arrange();
    void onRowClicked(QTreeWidgetItem* item);
    void sortByColumn(int column);
    void saveRow();
    void toggleRow();
    void deleteSelected();
    void newExtension();
    void restoreDefaults();
    void saveLimit();

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
    bool m_newRowEnabled = true;
    // Once a column was clicked, every refill stays sorted by it; each click flips the order.
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

} // namespace brisquel
