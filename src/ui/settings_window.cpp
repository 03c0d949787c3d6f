#include "settings_window.h"

#include "engine/dns_precheck.h"
#include "message_box.h"
#include "support/app_info.h"
#include "whois_config/extension_settings.h"
#include "wrapping_label.h"

#include <QCheckBox>
#include <QCloseEvent>
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

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

RegistrarsDisplayRow rowOf(const QTreeWidgetItem* item)
{
    return {item->text(0), item->text(1), item->text(2), item->text(3)}; // the Limit column is no field
}

} // namespace

SettingsWindow::SettingsWindow(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Domain extension settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildLayout();

    connect(lstDomains, &QTreeWidget::itemClicked, this, &SettingsWindow::onRowClicked);
    connect(lstDomains->header(), &QHeaderView::sectionClicked, this, &SettingsWindow::sortByColumn);
    connect(cmdSave, &QPushButton::clicked, this, &SettingsWindow::saveRow);
    connect(cmdToggle, &QPushButton::clicked, this, &SettingsWindow::toggleRow);
    connect(Command2, &QPushButton::clicked, this, &SettingsWindow::deleteSelected);
    connect(Command1, &QPushButton::clicked, this, &SettingsWindow::newExtension);
    connect(Command3, &QPushButton::clicked, this, &SettingsWindow::restoreDefaults);
    connect(cmdLimit, &QPushButton::clicked, this, &SettingsWindow::saveLimit);
    connect(chkProxy, &QCheckBox::toggled, m_settings, &ExtensionSettings::setUseProxy);
    connect(chkRdap, &QCheckBox::toggled, m_settings, &ExtensionSettings::setPreferRdap);
    connect(chkDns, &QCheckBox::toggled, m_settings, &ExtensionSettings::setCheckDnsFirst);
    connect(chkConfirm, &QCheckBox::toggled, m_settings, &ExtensionSettings::setConfirmFree);
    connect(txtDns, &QLineEdit::editingFinished, this, &SettingsWindow::dnsServerLeft);
    connect(txtDefault, &QLineEdit::textEdited, m_settings, &ExtensionSettings::setDefaultExtension);
    connect(txtDefault, &QLineEdit::editingFinished, this, &SettingsWindow::defaultExtensionLeft);

    fillExtensionList();
    chkProxy->setChecked(m_settings->useProxy());
    chkRdap->setChecked(m_settings->preferRdap());
    chkDns->setChecked(m_settings->checkDnsFirst());
    chkConfirm->setChecked(m_settings->confirmFree());
    txtDns->setText(m_settings->dnsServer());
    txtDefault->setText(m_settings->defaultExtension());
}

void SettingsWindow::buildLayout()
{
    Label4 = named(new QLabel(QStringLiteral("Enabled/Disabled Extensions:"), this), "Label4");
    lstDomains = named(new QTreeWidget(this), "lstDomains");
    lstDomains->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Server"),
                                 QStringLiteral("Port"), QStringLiteral("Status")});
    lstDomains->setRootIsDecorated(false);
    lstDomains->setUniformRowHeights(true);
    lstDomains->setAllColumnsShowFocus(true);
    lstDomains->header()->setSectionsClickable(true);
    lstDomains->setColumnWidth(0, 80);
    lstDomains->setColumnWidth(1, 200);
    lstDomains->setColumnWidth(2, 50);

    Label7 = named(new QLabel(QStringLiteral("Limit:"), this), "Label7");
    txtLimit = named(new QLineEdit(this), "txtLimit");
    txtLimit->setPlaceholderText(QStringLiteral("rate=5/s connections=2 daily=1000"));
    txtLimit->setToolTip(QStringLiteral("How hard the server of this row may be asked; empty: the default, "
                                        "learned from its answers."));
    cmdLimit = named(new QPushButton(QStringLiteral("Save Limit"), this), "cmdLimit");
    lblLimitSaved = named(new WrappingLabel(QString(), this), "lblLimitSaved");
    Label1 = named(new QLabel(QStringLiteral("Extension:"), this), "Label1");
    txtExt = named(new QLineEdit(this), "txtExt");
    Label2 = named(new QLabel(QStringLiteral("Whois Server:"), this), "Label2");
    txtServer = named(new QLineEdit(this), "txtServer");
    txtServer->setToolTip(QStringLiteral("A WHOIS host name, or an RDAP base URL such as https://rdap.nic.example/ "
                                         "(the port is then not used)"));
    Label3 = named(new QLabel(QStringLiteral("Port:"), this), "Label3");
    txtPort = named(new QLineEdit(this), "txtPort");
    cmdSave = named(new QPushButton(QStringLiteral("Add/Save"), this), "cmdSave");
    cmdToggle = named(new QPushButton(QStringLiteral("Enable/Disable"), this), "cmdToggle");
    Command2 = named(new QPushButton(QStringLiteral("Delete Selected"), this), "Command2");
    Command1 = named(new QPushButton(QStringLiteral("New Extension"), this), "Command1");
    Command3 = named(new QPushButton(QStringLiteral("Restore Defaults"), this), "Command3");
    chkProxy =
        named(new QCheckBox(QStringLiteral(
                                "Use the server entered under the extension \"proxy\" for all whois lookups"),
                            this),
              "chkProxy");
    chkRdap = named(new QCheckBox(QStringLiteral("Prefer RDAP where the registry offers it"), this), "chkRdap");
    chkRdap->setToolTip(QStringLiteral("Ask every extension that rdap-dns.json lists over RDAP (HTTPS) instead of "
                                       "WHOIS. Without it, RDAP is asked only where a WHOIS server gives no answer."));
    chkConfirm = named(new QCheckBox(QStringLiteral("Confirm free names over RDAP"), this), "chkConfirm");
    chkConfirm->setToolTip(
        QStringLiteral("Ask the registry's RDAP service about each name its WHOIS server calls "
                       "free, before filing it: a name RDAP knows goes to Registered."));
    chkDns = named(new QCheckBox(QStringLiteral("Check DNS first"), this), "chkDns");
    chkDns->setToolTip(QStringLiteral("Ask DNS for each name's name servers before its registry: a name the DNS "
                                      "delegates is taken, and costs no registry query."));
    Label8 = named(new QLabel(QStringLiteral("DNS server:"), this), "Label8");
    txtDns = named(new QLineEdit(this), "txtDns");
    txtDns->setPlaceholderText(QStringLiteral("the system's resolver"));
    txtDns->setToolTip(QStringLiteral("An IP address, optionally with a port: 9.9.9.9, 127.0.0.1:5353, [::1]:53. "
                                      "Empty: the system's resolver."));
    Label5 = named(new QLabel(QStringLiteral("Default Extension:"), this), "Label5");
    txtDefault = named(new QLineEdit(this), "txtDefault");
    txtDefault->setMaximumWidth(90);
    Label6 =
        named(new WrappingLabel(QStringLiteral("Use the following extension in wordlist searches or if no "
                                               "extension is present in the domain:"),
                                this),
              "Label6");
    // A hint must be read whole: the fields are at least as wide as the hint they show when empty.
    for (QLineEdit* field : {txtLimit, txtDns})
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(field->placeholderText()) +
                               4 * field->fontMetrics().averageCharWidth());

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(txtExt, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(txtServer, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(txtPort, 2, 1);
    fields->addWidget(Label7, 3, 0);
    fields->addWidget(txtLimit, 3, 1);

    auto* editColumn = new QVBoxLayout;
    editColumn->addLayout(fields);
    for (QPushButton* button : {cmdSave, cmdLimit, cmdToggle, Command2, Command1, Command3}) {
        editColumn->addWidget(button);
        if (button == cmdLimit)
            editColumn->addWidget(lblLimitSaved);
    }
    editColumn->addStretch(1);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(Label4);
    listColumn->addWidget(lstDomains, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(listColumn, 3);
    top->addLayout(editColumn, 2);

    auto* defaults = new QHBoxLayout;
    defaults->addWidget(Label6, 1);
    defaults->addWidget(Label5);
    defaults->addWidget(txtDefault);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(chkProxy);
    layout->addWidget(chkRdap);
    layout->addWidget(chkConfirm);
    auto* dnsRow = new QHBoxLayout;
    dnsRow->addWidget(chkDns);
    dnsRow->addStretch(1);
    dnsRow->addWidget(Label8);
    dnsRow->addWidget(txtDns);
    layout->addLayout(dnsRow);
    layout->addLayout(defaults);
    // No smaller minimum than the layout's own: squeezed, the fields of a row would vanish.
    resize(720, 460);
}

void SettingsWindow::fillExtensionList()
{
    lstDomains->clear();
    QList<QTreeWidgetItem*> items;
    const ServerLimitsTable& limits = m_settings->serverLimits();
    for (const RegistrarsDisplayRow& row : m_settings->rows())
        items.append(new QTreeWidgetItem(QStringList(row)
                                         << ServerLimitsTable::describe(limits.limitsFor(row.value(1)))));
    lstDomains->addTopLevelItems(items);
    if (m_sortColumn >= 0)
        lstDomains->sortItems(m_sortColumn, m_sortOrder);
}

void SettingsWindow::onRowClicked(QTreeWidgetItem* item)
{
    if (!item)
        return;
    txtExt->setText(item->text(0));
    txtServer->setText(item->text(1));
    txtPort->setText(item->text(2));
    m_newRowEnabled = item->text(3) == RegistrarsFile::enabledStatus();
    txtLimit->setText(m_settings->serverLimits().textFor(item->text(1)));
}

void SettingsWindow::saveLimit()
{
    QString error;
    if (txtServer->text().trimmed().isEmpty() ||
        !m_settings->saveServerLimit(txtServer->text(), txtLimit->text(), &error)) {
        lblLimitSaved->clear();
        showFailure(error.isEmpty() ? ExtensionSettings::invalidFieldsMessage() : error);
        return;
    }
    fillExtensionList();
    const QString server = txtServer->text().trimmed();
    lblLimitSaved->setText(
        QStringLiteral("Limit saved for %1: %2")
            .arg(server, ServerLimitsTable::describe(m_settings->serverLimits().limitsFor(server))));
}

void SettingsWindow::sortByColumn(int column)
{
    if (lstDomains->topLevelItemCount() == 0)
        return;
    // One order for all columns: each click flips it, whichever column it is.
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    lstDomains->sortItems(column, m_sortOrder);
    lstDomains->header()->setSortIndicatorShown(true);
    lstDomains->header()->setSortIndicator(column, m_sortOrder);
}

void SettingsWindow::saveRow()
{
    QString error;
    const bool saved =
        m_settings->saveRow(txtExt->text(), txtServer->text(), txtPort->text(), m_newRowEnabled, &error);
    fillExtensionList();
    if (!saved)
        showFailure(error);
}

void SettingsWindow::toggleRow()
{
    QString error;
    bool toggled = true;
    if (QTreeWidgetItem* item = lstDomains->currentItem(); item && item->isSelected())
        toggled = m_settings->toggleRow(rowOf(item), &error);
    fillExtensionList();
    if (!toggled)
        showFailure(error);
}

void SettingsWindow::deleteSelected()
{
    QTreeWidgetItem* item = lstDomains->currentItem();
    if (!item || !item->isSelected())
        return;
    delete item;
    // The list as shown is the new file, in the order shown.
    QList<RegistrarsDisplayRow> rows;
    for (int i = 0; i < lstDomains->topLevelItemCount(); ++i)
        rows.append(rowOf(lstDomains->topLevelItem(i)));
    QString error;
    if (!m_settings->writeRows(rows, &error))
        showFailure(error);
    txtExt->clear();
    txtServer->clear();
    txtPort->clear();
}

void SettingsWindow::newExtension()
{
    txtExt->clear();
    txtServer->clear();
    txtPort->clear();
    txtExt->setFocus();
    m_newRowEnabled = true;
}

void SettingsWindow::restoreDefaults()
{
    QString error;
    const bool restored = m_settings->restoreDefaults(&error);
    fillExtensionList();
    if (!restored)
        showFailure(error);
}

void SettingsWindow::defaultExtensionLeft()
{
    const QString normalized = ExtensionSettings::normalizedDefaultExtension(txtDefault->text());
    if (normalized != txtDefault->text()) {
        txtDefault->setText(normalized);
        m_settings->setDefaultExtension(normalized);
    }
}

void SettingsWindow::dnsServerLeft()
{
    const QString server = txtDns->text().trimmed();
    if (server == m_settings->dnsServer())
        return;
    QString error;
    if (!DnsPrecheck::isResolverAddress(server, &error)) {
        // The stored server stays; the field shows it again.
        txtDns->setText(m_settings->dnsServer());
        showFailure(error);
        return;
    }
    m_settings->setDnsServer(server);
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    defaultExtensionLeft();
    QWidget::closeEvent(event);
}

void SettingsWindow::showFailure(const QString& message)
{
    MessageBox::information(this, AppInfo::productTitle(), message);
}

} // namespace brisquel
