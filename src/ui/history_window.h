#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace brisquel {

class ElidedLabel;
class HistoryFilterModel;
class HistoryTableModel;

// The history window: every check of history.sqlite in a table to filter by name, sort, copy
// from and export. While it is shown it reads what searches record, every two seconds.
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PollIntervalMs = 2000;

    // `historyPath`: the data folder's history.sqlite, which need not exist yet.
    explicit HistoryWindow(const QString& historyPath, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Tests follow the file faster than a person needs to.
    void setPollInterval(int milliseconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildTable();
    void poll();
    void showStatus();
    void copySelection();
    void exportCsv();

    QString m_historyPath;
    HistoryTableModel* m_model;
    HistoryFilterModel* m_filter;
    QLineEdit* m_filterEdit;
    QTableView* m_table;
    ElidedLabel* m_status;
    QPushButton* m_copyButton;
    QPushButton* m_exportButton;
    QTimer* m_poll;
};

} // namespace brisquel
