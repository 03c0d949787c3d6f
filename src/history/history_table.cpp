#include "history_table.h"

#include "engine/judging/verdict.h"
#include "history/history_format.h"

namespace brisquel {

namespace {

QString methodCaption(CheckMethod method)
{
    switch (method) {
    case CheckMethod::Whois:
        return QStringLiteral("WHOIS");
    case CheckMethod::Rdap:
        return QStringLiteral("RDAP");
    case CheckMethod::Dns:
        return QStringLiteral("DNS");
    case CheckMethod::History:
        return QStringLiteral("history");
    case CheckMethod::Zone:
        return QStringLiteral("zone file");
    }
    return {};
}

// The column of `history`'s text that a window column shows as it is.
HistoryColumn textColumn(HistoryTableColumn column)
{
    switch (column) {
    case HistoryTableColumn::Name:
        return HistoryColumn::Name;
    case HistoryTableColumn::Verdict:
        return HistoryColumn::Verdict;
    case HistoryTableColumn::Detail:
        return HistoryColumn::Detail;
    case HistoryTableColumn::State:
        return HistoryColumn::State;
    case HistoryTableColumn::Expires:
        return HistoryColumn::Expires;
    case HistoryTableColumn::Checked:
    default:
        return HistoryColumn::Checked;
    }
}

} // namespace

QString historyTableColumnTitle(HistoryTableColumn column)
{
    switch (column) {
    case HistoryTableColumn::Server:
        return QStringLiteral("Server");
    case HistoryTableColumn::Method:
        return QStringLiteral("Method");
    default:
        return historyColumnTitle(textColumn(column));
    }
}

QString historyTableCell(const CheckRecord& record, HistoryTableColumn column)
{
    switch (column) {
    case HistoryTableColumn::Verdict:
        return verdictWord(record.verdict);
    case HistoryTableColumn::Server:
        return record.server;
    case HistoryTableColumn::Method:
        return methodCaption(record.method);
    default:
        return historyCell(record, textColumn(column));
    }
}

HistoryNamePattern::HistoryNamePattern(const QString& pattern)
    : m_text(pattern.trimmed())
{
    if (!m_text.contains(QLatin1Char('*')) && !m_text.contains(QLatin1Char('?')))
        return;
    // Only '*' and '?' are wildcards, as in `history --name`: a '[' is a character, not a class.
    QString expression;
    for (const QChar c : std::as_const(m_text)) {
        if (c == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    m_wildcard = QRegularExpression(QRegularExpression::anchoredPattern(expression),
                                    QRegularExpression::CaseInsensitiveOption |
                                        QRegularExpression::DotMatchesEverythingOption);
}

bool HistoryNamePattern::matches(const CheckRecord& record) const
{
    if (m_text.isEmpty())
        return true;
    if (m_wildcard.isValid() && !m_wildcard.pattern().isEmpty())
        return m_wildcard.match(record.name).hasMatch() || m_wildcard.match(record.ascii).hasMatch();
    return record.name.contains(m_text, Qt::CaseInsensitive) ||
           record.ascii.contains(m_text, Qt::CaseInsensitive);
}

HistoryTableModel::HistoryTableModel(const QString& path, int capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , m_reader(std::make_unique<HistoryReader>(path))
    , m_capacity(capacity)
{}

HistoryTableModel::~HistoryTableModel() = default;

bool HistoryTableModel::hasHistory() const
{
    return m_reader->isOpen();
}

void HistoryTableModel::refresh()
{
    const QString problemBefore = m_problem;
    if (!m_reader->isOpen() && !m_reader->open(&m_problem)) {
        if (m_problem != problemBefore)
            Q_EMIT refreshed();
        return;
    }
    // Read before the rows: a commit between the two is read again next time, never missed.
    const qint64 version = m_reader->dataVersion();
    if (version == m_dataVersion && version != -1 && problemBefore.isEmpty())
        return;
    m_dataVersion = version;
    HistoryFilter filter;
    filter.afterId = m_rows.isEmpty() ? 0 : m_rows.constLast().id;
    filter.limit = m_capacity;
    QString error;
    QList<HistoryRow> rows = m_reader->rows(filter, &error);
    m_problem = error;
    append(std::move(rows));
    Q_EMIT refreshed();
}

void HistoryTableModel::append(QList<HistoryRow> rows)
{
    if (rows.isEmpty())
        return;
    if (rows.size() >= m_capacity)
        m_capped = true;
    const qsizetype excess = m_rows.size() + rows.size() - m_capacity;
    if (excess > 0) {
        m_capped = true;
        const int removed = int(std::min(excess, m_rows.size()));
        if (removed > 0) {
            beginRemoveRows(QModelIndex(), 0, removed - 1);
            m_rows.remove(0, removed);
            endRemoveRows();
        }
    }
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows.append(std::move(rows));
    endInsertRows();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : HistoryTableColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const HistoryRow& row = m_rows.at(index.row());
    const auto column = HistoryTableColumn(index.column());
    if (role == Qt::DisplayRole)
        return historyTableCell(row.record, column);
    // The whole of a name, detail or server the column cuts short.
    if (role == Qt::ToolTipRole &&
        (column == HistoryTableColumn::Name || column == HistoryTableColumn::Detail ||
         column == HistoryTableColumn::Server))
        return historyTableCell(row.record, column);
    if (role == SortRole) {
        switch (column) {
        case HistoryTableColumn::Name:
            return row.record.name.toLower();
        case HistoryTableColumn::Checked:
            return row.id;
        default:
            return historyTableCell(row.record, column);
        }
    }
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < HistoryTableColumnCount)
        return historyTableColumnTitle(HistoryTableColumn(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

HistoryFilterModel::HistoryFilterModel(HistoryTableModel* source, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
    setSortRole(HistoryTableModel::SortRole);
}

void HistoryFilterModel::setNamePattern(const QString& pattern)
{
    m_pattern = HistoryNamePattern(pattern);
    invalidateRowsFilter();
}

QList<CheckRecord> HistoryFilterModel::records() const
{
    QList<CheckRecord> records;
    records.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        records << record(row);
    return records;
}

const CheckRecord& HistoryFilterModel::record(int row) const
{
    return m_source->record(mapToSource(index(row, 0)).row());
}

bool HistoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return !sourceParent.isValid() && m_pattern.matches(m_source->record(sourceRow));
}

} // namespace brisquel
