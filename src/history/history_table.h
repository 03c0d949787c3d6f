#pragma once

#include "history/history_reader.h"

#include <QAbstractTableModel>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <memory>

namespace brisquel {

// A name pattern as `history --name` takes it: '*' and '?' match the whole name, else any part of
// it; case-insensitive, against the name as written and its ASCII form.
class HistoryNamePattern
{
public:
    explicit HistoryNamePattern(const QString& pattern = QString());
    bool isEmpty() const { return m_text.isEmpty(); }
    bool matches(const CheckRecord& record) const;

private:
    QString m_text;
    QRegularExpression m_wildcard; // invalid without wildcards
};

// The columns of the history window: those of `history`'s text, with the server asked and how.
enum class HistoryTableColumn
{
    Name,
    Verdict,
    Detail,
    Server,
    Method,
    State,
    Expires,
    Checked,
};
inline constexpr int HistoryTableColumnCount = 8;

QString historyTableColumnTitle(HistoryTableColumn column);
// A cell as the window shows it: the verdict in the windows' words ("free", "taken"), the method
// as "WHOIS", "RDAP", "DNS" or "history"; the rest as `history` prints it.
QString historyTableCell(const CheckRecord& record, HistoryTableColumn column);

// The checks of a history.sqlite file as a table, oldest first, following the file as it grows:
// each refresh() adds only what was recorded since the one before. Only the newest `capacity`
// checks are kept, so that years of history stay quick to show.
class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int DefaultCapacity = 100000;
    // What a column sorts by: the name without case, the time by order of recording.
    static constexpr int SortRole = Qt::UserRole;

    explicit HistoryTableModel(const QString& path, int capacity = DefaultCapacity,
                               QObject* parent = nullptr);
    ~HistoryTableModel() override;

    // Opens the file when it has appeared, then reads what is new. Cheap when nothing changed.
    void refresh();
    // Whether the file is open; else problem() says why there is none.
    bool hasHistory() const;
    // Why there is no history, or why the last read failed; empty when all is well.
    QString problem() const { return m_problem; }
    // Whether older checks than those kept may exist.
    bool isCapped() const { return m_capped; }
    int capacity() const { return m_capacity; }
    const CheckRecord& record(int row) const { return m_rows.at(row).record; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // After a refresh that changed the rows, the file's presence or the problem.
    void refreshed();

private:
    void append(QList<HistoryRow> rows);

    std::unique_ptr<HistoryReader> m_reader;
    int m_capacity;
    QList<HistoryRow> m_rows;
    qint64 m_dataVersion = -1;
    QString m_problem;
    bool m_capped = false;
};

// The rows of a HistoryTableModel whose names match a pattern, sortable by any column.
class HistoryFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit HistoryFilterModel(HistoryTableModel* source, QObject* parent = nullptr);

    void setNamePattern(const QString& pattern);
    bool isFiltered() const { return !m_pattern.isEmpty(); }
    // The checks shown, in the order shown.
    QList<CheckRecord> records() const;
    const CheckRecord& record(int row) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    HistoryTableModel* m_source;
    HistoryNamePattern m_pattern;
};

} // namespace brisquel
