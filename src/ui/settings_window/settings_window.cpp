#include "settings_window.h"

#include "lookup_box.h"
#include "network_proxies_box.h"
#include "option_rows.h"
#include "registrars_box.h"
#include "support/app_info.h"
#include "ui/message_box.h"
#include "ui/wrapping_label.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace brisquel {

SettingsWindow::SettingsWindow(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Domain extension settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Each box shows the settings as they are once it is built.
    m_registrars = new RegistrarsBox(settings, this);
    m_lookups = new LookupBox(settings, this);
    m_savedNames = new SavedNamesRow(settings, this);
    m_doubleClick = new DoubleClickRow(settings, this);
    m_defaultExtension = new DefaultExtensionRow(settings, this);
    m_proxies = new NetworkProxiesBox(settings, this);
    connect(m_registrars, &RegistrarsBox::failed, this, &SettingsWindow::showFailure);
    connect(m_lookups, &LookupBox::failed, this, &SettingsWindow::showFailure);
    connect(m_savedNames, &SavedNamesRow::checkNowRequested, this,
            &SettingsWindow::checkSavedNamesNowRequested);
    arrange();
}

void SettingsWindow::arrange()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_registrars, 1);
    const QList<QWidget*> rows{m_lookups, m_savedNames, m_doubleClick, m_defaultExtension};
    for (QWidget* row : rows)
        layout->addWidget(row);
    layout->addWidget(m_proxies);
    orderTabs();
    // No smaller minimum than the layout's own: squeezed, the fields of a row would vanish.
    resize(720, 660);
    // A wrapped label's height follows its width, which the first layout gives it (the window's,
    // then its box's); laid out again, the window asks for the height the labels take at its width,
    // not at a stand-in's (which made it taller than a 768-pixel screen).
    layout->activate();
    const QList<QWidget*> boxes = QList<QWidget*>{m_registrars} + rows;
    for (QWidget* box : boxes)
        box->layout()->activate();
    for (WrappingLabel* label : findChildren<WrappingLabel*>())
        label->updateGeometry();
    for (QWidget* box : boxes)
        box->updateGeometry();
    layout->activate();
    resize(720, 660);
}

void SettingsWindow::orderTabs()
{
    QList<QWidget*> order = m_registrars->tabOrder();
    order << m_lookups->tabOrder() << m_savedNames->tabOrder() << m_doubleClick->tabOrder()
          << m_defaultExtension->tabOrder() << m_proxies->tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

bool SettingsWindow::newRowEnabled() const
{
    return m_registrars->newRowEnabled();
}

void SettingsWindow::fillExtensionList()
{
    m_registrars->fillExtensionList();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    m_defaultExtension->extensionLeft();
    m_proxies->proxiesFileLeft();
    QWidget::closeEvent(event);
}

void SettingsWindow::showFailure(const QString& message)
{
    MessageBox::information(this, AppInfo::productTitle(), message);
}

} // namespace brisquel
