#include "registrars_box.h"

#include "setup_widgets.h"
#include "ui/wrapping_label.h"
#include "whois_config/extension_settings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brisquel {

namespace {

RegistrarsDisplayRow rowOf(const QTreeWidgetItem* item)
{
    return {item->text(0), item->text(1), item->text(2), item->text(3)}; // the Limit column is no field
}

} // namespace

RegistrarsBox::RegistrarsBox(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
{
    build();
    arrange();
    connect(m_extensionList, &QTreeWidget::itemClicked, this, &RegistrarsBox::onRowClicked);
    connect(m_extensionList->header(), &QHeaderView::sectionClicked, this, &RegistrarsBox::sortByColumn);
    connect(m_saveButton, &QPushButton::clicked, this, &RegistrarsBox::saveRow);
    connect(m_toggleButton, &QPushButton::clicked, this, &RegistrarsBox::toggleRow);
    connect(m_deleteButton, &QPushButton::clicked, this, &RegistrarsBox::deleteSelected);
    connect(m_newExtensionButton, &QPushButton::clicked, this, &RegistrarsBox::newExtension);
    connect(m_restoreDefaultsButton, &QPushButton::clicked, this, &RegistrarsBox::restoreDefaults);
    connect(m_saveLimitButton, &QPushButton::clicked, this, &RegistrarsBox::saveLimit);
    fillExtensionList();
}

void RegistrarsBox::build()
{
    m_extensionList = named(new QTreeWidget(this), "lstDomains");
    m_extensionList->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Server"),
                                      QStringLiteral("Port"), QStringLiteral("Status"),
                                      QStringLiteral("Limit")});
    m_extensionList->setRootIsDecorated(false);
    m_extensionList->setUniformRowHeights(true);
    m_extensionList->setAllColumnsShowFocus(true);
    m_extensionList->header()->setSectionsClickable(true);
    // Each column as wide as its widest usual value and its caption; the limit takes the rest.
    const QFontMetrics metrics = m_extensionList->fontMetrics();
    const auto widthFor = [&metrics](std::initializer_list<const char*> samples) {
        int widest = 0;
        for (const char* sample : samples)
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(sample)));
        return widest + 2 * metrics.averageCharWidth();
    };
    m_extensionList->setColumnWidth(0, widthFor({"Extension", "co.uk"}));
    m_extensionList->setColumnWidth(1, widthFor({"whois.verisign-grs.com"}));
    m_extensionList->setColumnWidth(2, widthFor({"Port", "43"}));
    m_extensionList->setColumnWidth(3, widthFor({"Status", "Enabled", "Disabled"}));

    m_limitEdit = named(new QLineEdit(this), "txtLimit");
    // A hint, not a value: an empty limit is the default pacing, learned from the answers.
    m_limitEdit->setPlaceholderText(QStringLiteral("default (learned)"));
    m_limitEdit->setToolTip(
        QStringLiteral("How hard the server of this row may be asked, e.g. rate=5/s connections=2 "
                       "daily=1000; empty: the default, learned from its answers."));
    fitPlaceholder(m_limitEdit);
    m_saveLimitButton = namedButton(QStringLiteral("Save Limit"), "cmdLimit", nullptr, this);
    m_limitSaved = named(new WrappingLabel(QString(), this), "lblLimitSaved");
    m_extensionEdit = named(new QLineEdit(this), "txtExt");
    m_serverEdit = named(new QLineEdit(this), "txtServer");
    m_serverEdit->setToolTip(QStringLiteral("A WHOIS host name, or an RDAP base URL such as "
                                            "https://rdap.nic.example/ (the port is then not used)"));
    m_portEdit = named(new QLineEdit(this), "txtPort");
    m_saveButton = namedButton(QStringLiteral("Add/Save"), "cmdSave", nullptr, this);
    m_toggleButton = namedButton(QStringLiteral("Enable/Disable"), "cmdToggle", nullptr, this);
    m_deleteButton = namedButton(QStringLiteral("Delete Selected"), "Command2", nullptr, this);
    m_newExtensionButton = namedButton(QStringLiteral("New Extension"), "Command1", nullptr, this);
    m_restoreDefaultsButton = namedButton(QStringLiteral("Restore Defaults"), "Command3", nullptr, this);
}

void RegistrarsBox::arrange()
{
    auto* fields = new QGridLayout;
    struct Row
    {
        const char* caption;
        const char* labelName;
        QLineEdit* field;
    };
    const Row rows[] = {{"Extension:", "Label1", m_extensionEdit},
                        {"Whois Server:", "Label2", m_serverEdit},
                        {"Port:", "Label3", m_portEdit},
                        {"Limit:", "Label7", m_limitEdit}};
    for (int i = 0; i < int(std::size(rows)); ++i) {
        fields->addWidget(namedLabel(QString::fromLatin1(rows[i].caption), rows[i].labelName, this), i, 0);
        fields->addWidget(rows[i].field, i, 1);
    }

    auto* editColumn = new QVBoxLayout;
    editColumn->addLayout(fields);
    for (QPushButton* button : {m_saveButton, m_saveLimitButton, m_toggleButton, m_deleteButton,
                                m_newExtensionButton, m_restoreDefaultsButton}) {
        editColumn->addWidget(button);
        if (button == m_saveLimitButton)
            editColumn->addWidget(m_limitSaved);
    }
    editColumn->addStretch(1);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(namedLabel(QStringLiteral("Enabled/Disabled Extensions:"), "Label4", this));
    listColumn->addWidget(m_extensionList, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(listColumn, 3);
    layout->addLayout(editColumn, 2);
}

QList<QWidget*> RegistrarsBox::tabOrder() const
{
    return {m_extensionList, m_extensionEdit,      m_serverEdit,           m_portEdit,
            m_limitEdit,     m_saveButton,         m_saveLimitButton,      m_toggleButton,
            m_deleteButton,  m_newExtensionButton, m_restoreDefaultsButton};
}

void RegistrarsBox::fillExtensionList()
{
    m_extensionList->clear();
    QList<QTreeWidgetItem*> items;
    const ServerLimitsTable& limits = m_settings->serverLimits();
    for (const RegistrarsDisplayRow& row : m_settings->rows())
        items.append(new QTreeWidgetItem(QStringList(row)
                                         << ServerLimitsTable::describe(limits.limitsFor(row.value(1)))));
    m_extensionList->addTopLevelItems(items);
    if (m_sortColumn >= 0)
        m_extensionList->sortItems(m_sortColumn, m_sortOrder);
}

void RegistrarsBox::onRowClicked(QTreeWidgetItem* item)
{
    if (!item)
        return;
    m_extensionEdit->setText(item->text(0));
    m_serverEdit->setText(item->text(1));
    m_portEdit->setText(item->text(2));
    m_newRowEnabled = item->text(3) == RegistrarsFile::enabledStatus();
    m_limitEdit->setText(m_settings->serverLimits().textFor(item->text(1)));
}

void RegistrarsBox::saveLimit()
{
    QString error;
    if (m_serverEdit->text().trimmed().isEmpty() ||
        !m_settings->saveServerLimit(m_serverEdit->text(), m_limitEdit->text(), &error)) {
        m_limitSaved->clear();
        Q_EMIT failed(error.isEmpty() ? ExtensionSettings::invalidFieldsMessage() : error);
        return;
    }
    fillExtensionList();
    const QString server = m_serverEdit->text().trimmed();
    m_limitSaved->setText(
        QStringLiteral("Limit saved for %1: %2")
            .arg(server, ServerLimitsTable::describe(m_settings->serverLimits().limitsFor(server))));
}

void RegistrarsBox::sortByColumn(int column)
{
    if (m_extensionList->topLevelItemCount() == 0)
        return;
    // One order for all columns: each click flips it, whichever column it is.
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_extensionList->sortItems(column, m_sortOrder);
    m_extensionList->header()->setSortIndicatorShown(true);
    m_extensionList->header()->setSortIndicator(column, m_sortOrder);
}

void RegistrarsBox::saveRow()
{
    QString error;
    const bool saved = m_settings->saveRow(m_extensionEdit->text(), m_serverEdit->text(), m_portEdit->text(),
                                           m_newRowEnabled, &error);
    fillExtensionList();
    if (!saved)
        Q_EMIT failed(error);
}

void RegistrarsBox::toggleRow()
{
    QString error;
    bool toggled = true;
    if (QTreeWidgetItem* item = m_extensionList->currentItem(); item && item->isSelected())
        toggled = m_settings->toggleRow(rowOf(item), &error);
    fillExtensionList();
    if (!toggled)
        Q_EMIT failed(error);
}

void RegistrarsBox::deleteSelected()
{
    QTreeWidgetItem* item = m_extensionList->currentItem();
    if (!item || !item->isSelected())
        return;
    delete item;
    // The list as shown is the new file, in the order shown.
    QList<RegistrarsDisplayRow> rows;
    for (int i = 0; i < m_extensionList->topLevelItemCount(); ++i)
        rows.append(rowOf(m_extensionList->topLevelItem(i)));
    QString error;
    if (!m_settings->writeRows(rows, &error))
        Q_EMIT failed(error);
    m_extensionEdit->clear();
    m_serverEdit->clear();
    m_portEdit->clear();
}

void RegistrarsBox::newExtension()
{
    m_extensionEdit->clear();
    m_serverEdit->clear();
    m_portEdit->clear();
    m_extensionEdit->setFocus();
    m_newRowEnabled = true;
}

void RegistrarsBox::restoreDefaults()
{
    QString error;
    const bool restored = m_settings->restoreDefaults(&error);
    fillExtensionList();
    if (!restored)
        Q_EMIT failed(error);
}

} // namespace brisquel
