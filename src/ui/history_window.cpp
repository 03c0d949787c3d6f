#include "history_window.h"

#include "elided_label.h"
#include "file_dialog.h"
#include "history/history_format.h"
#include "history/history_table.h"
#include "message_box.h"
#include "support/text_file.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace brisquel {

namespace {

// A detail is a sentence: cut short, it keeps its beginning (the whole is in the tooltip).
class EndElidingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

} // namespace

HistoryWindow::HistoryWindow(const QString& historyPath, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_historyPath(historyPath)
    , m_model(new HistoryTableModel(historyPath, HistoryTableModel::DefaultCapacity, this))
    , m_filter(new HistoryFilterModel(m_model, this))
    , m_filterEdit(named(new QLineEdit(this), "txtFilter"))
    , m_table(named(new QTableView(this), "tblHistory"))
    , m_status(named(new ElidedLabel(QString(), this), "lblStatus"))
    , m_copyButton(namedButton(QStringLiteral("&Copy"), "cmdCopy",
                               "Copy the selected rows to the clipboard, tab-separated (Ctrl+C)", this))
    , m_exportButton(namedButton(QStringLiteral("&Export CSV…"), "cmdExport",
                                 "Save every row that passes the filter as a CSV file", this))
    , m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_filterEdit->setPlaceholderText(QStringLiteral("Filter names (* and ? allowed)"));
    m_filterEdit->setClearButtonEnabled(true);
    buildTable();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_copyButton);
    buttons->addWidget(m_exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_filterEdit);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    // Wide enough for a detail of some forty characters beside the other columns.
    resize(1100, 480);

    connect(m_filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->setNamePattern(text);
        showStatus();
    });
    connect(m_copyButton, &QPushButton::clicked, this, &HistoryWindow::copySelection);
    connect(m_exportButton, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(m_model, &HistoryTableModel::refreshed, this, &HistoryWindow::showStatus);
    m_poll->setInterval(PollIntervalMs);
    connect(m_poll, &QTimer::timeout, this, &HistoryWindow::poll);
    showStatus();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::buildTable()
{
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    // A long name keeps its extension in sight; the detail and the server their beginning.
    m_table->setTextElideMode(Qt::ElideMiddle);
    auto* endEliding = new EndElidingDelegate(m_table);
    m_table->setItemDelegateForColumn(int(HistoryTableColumn::Detail), endEliding);
    m_table->setItemDelegateForColumn(int(HistoryTableColumn::Server), endEliding);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    // Unsorted until a header is clicked: the order of the checks.
    QHeaderView* header = m_table->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    // Room for typical values; the detail takes what is left.
    const QFontMetrics metrics = m_table->fontMetrics();
    const auto widthOf = [&metrics](const char* sample) {
        return metrics.horizontalAdvance(QString::fromLatin1(sample)) + 2 * metrics.averageCharWidth();
    };
    m_table->setColumnWidth(int(HistoryTableColumn::Name), widthOf("a-rather-long-name.com"));
    m_table->setColumnWidth(int(HistoryTableColumn::Verdict), widthOf("not registrable"));
    m_table->setColumnWidth(int(HistoryTableColumn::Server), widthOf("whois.verisign-grs.com"));
    m_table->setColumnWidth(int(HistoryTableColumn::Method), widthOf("history"));
    m_table->setColumnWidth(int(HistoryTableColumn::State), widthOf("redemptionPeriod"));
    m_table->setColumnWidth(int(HistoryTableColumn::Expires), widthOf("2026-12-31"));
    m_table->setColumnWidth(int(HistoryTableColumn::Checked), widthOf("2026-12-31 23:59"));
    header->setSectionResizeMode(int(HistoryTableColumn::Detail), QHeaderView::Stretch);
    header->setMinimumSectionSize(widthOf("Detail"));
    // However small the window, a few rows and the count stay readable.
    m_table->setMinimumHeight(header->sizeHint().height() +
                              5 * m_table->verticalHeader()->defaultSectionSize() +
                              2 * m_table->frameWidth());
    m_status->setMinimumWidth(m_status->widthFor(QStringLiteral("99,999 checks")));

    // The view's own Ctrl+C copies one cell; the button's rows are what is wanted.
    m_table->installEventFilter(this);
    m_copyButton->setEnabled(false);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_copyButton->setEnabled(m_table->selectionModel()->hasSelection()); });
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::setPollInterval(int milliseconds)
{
    m_poll->setInterval(milliseconds);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    poll();
    m_poll->start();
}

void HistoryWindow::hideEvent(QHideEvent* event)
{
    m_poll->stop();
    QWidget::hideEvent(event);
}

void HistoryWindow::poll()
{
    // Who reads the newest rows at the bottom keeps reading them as more come.
    QScrollBar* scroll = m_table->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    const int before = m_model->rowCount();
    m_model->refresh();
    if (atEnd && m_model->rowCount() != before)
        m_table->scrollToBottom();
}

void HistoryWindow::showStatus()
{
    const int total = m_model->rowCount();
    const bool capped = m_model->isCapped();
    QString text;
    if (!m_model->hasHistory()) {
        text = QFileInfo::exists(m_historyPath)
                   ? QStringLiteral("The history cannot be read: ") + m_model->problem()
                   : QStringLiteral("No history yet: checks appear here once a search records them.");
    } else if (m_filter->isFiltered()) {
        text = capped
                   ? QStringLiteral("%L1 of the newest %L2 checks match").arg(m_filter->rowCount()).arg(total)
                   : QStringLiteral("%L1 of %L2 checks match").arg(m_filter->rowCount()).arg(total);
    } else if (capped) {
        // The command-line program reads them all.
        text = QStringLiteral("The newest %L1 checks (older ones: brisquel-cli history)").arg(total);
    } else {
        text = total == 1 ? QStringLiteral("1 check") : QStringLiteral("%L1 checks").arg(total);
    }
    if (m_model->hasHistory() && !m_model->problem().isEmpty())
        text += QStringLiteral(". Reading failed: ") + m_model->problem();
    m_status->setText(text);
    m_status->setToolTip(text);
    m_exportButton->setEnabled(m_filter->rowCount() > 0);
}

void HistoryWindow::copySelection()
{
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // The cells as shown; "\n" ends each line, which the clipboard gives other programs in the
    // platform's form.
    QString text;
    for (const QModelIndex& index : std::as_const(rows)) {
        QStringList cells;
        for (int column = 0; column < HistoryTableColumnCount; ++column)
            cells << historyTableCell(m_filter->record(index.row()), HistoryTableColumn(column));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    QApplication::clipboard()->setText(text);
}

void HistoryWindow::exportCsv()
{
    const QString proposed = QFileInfo(m_historyPath).dir().filePath(QStringLiteral("history.csv"));
    const QString path = FileDialog::getSaveFileName(this, QStringLiteral("Export History"), proposed,
                                                     QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    const QList<CheckRecord> records = m_filter->records();
    QString error;
    if (!TextFile::writeText(path, historyCsvFile(records), &error)) {
        MessageBox::warning(this, QStringLiteral("Export History"),
                            QStringLiteral("The history was not exported. %1").arg(error));
        return;
    }
    // Until the rows or the filter change, the status line says what was written where.
    const QString done = records.size() == 1
                             ? QStringLiteral("Exported 1 check to %1").arg(QDir::toNativeSeparators(path))
                             : QStringLiteral("Exported %L1 checks to %2")
                                   .arg(records.size())
                                   .arg(QDir::toNativeSeparators(path));
    m_status->setText(done);
    m_status->setToolTip(done);
}

} // namespace brisquel
