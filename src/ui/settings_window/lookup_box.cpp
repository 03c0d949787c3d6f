#include "lookup_box.h"

#include "engine/dns/dns_precheck.h"
#include "setup_widgets.h"
#include "whois_config/extension_settings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace brisquel {

LookupBox::LookupBox(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
{
    m_proxyBox = setupCheckBox(
        QStringLiteral("Use the server entered under the extension \"proxy\" for all whois lookups"),
        "chkProxy", QString(), this);
    m_rdapBox =
        setupCheckBox(QStringLiteral("Prefer RDAP where the registry offers it"), "chkRdap",
                      QStringLiteral("Ask every extension that rdap-dns.json lists over RDAP (HTTPS) instead "
                                     "of WHOIS. Without it, RDAP is asked only where a WHOIS server gives no "
                                     "answer."),
                      this);
    m_confirmBox =
        setupCheckBox(QStringLiteral("Confirm free names over RDAP"), "chkConfirm",
                      QStringLiteral("Ask the registry's RDAP service about each name its WHOIS server "
                                     "calls free, before filing it: a name RDAP knows goes to Registered."),
                      this);
    m_dnsBox =
        setupCheckBox(QStringLiteral("Check DNS first"), "chkDns",
                      QStringLiteral("Ask DNS for each name's name servers before its registry: a name "
                                     "the DNS delegates is taken, and costs no registry query."),
                      this);
    m_dnsServerEdit = named(new QLineEdit(this), "txtDns");
    m_dnsServerEdit->setPlaceholderText(QStringLiteral("the system's resolver"));
    m_dnsServerEdit->setToolTip(
        QStringLiteral("An IP address, optionally with a port: 9.9.9.9, 127.0.0.1:5353, "
                       "[::1]:53. Empty: the system's resolver."));
    fitPlaceholder(m_dnsServerEdit);
    m_historyDaysBox = named(new QSpinBox(this), "txtHistoryDays");
    m_historyDaysBox->setRange(0, 3650);
    m_historyDaysBox->setSuffix(QStringLiteral(" days"));
    connect(m_historyDaysBox, &QSpinBox::valueChanged, m_historyDaysBox, [box = m_historyDaysBox](int days) {
        box->setSuffix(days == 1 ? QStringLiteral(" day") : QStringLiteral(" days"));
    });
    m_historyDaysBox->setSpecialValueText(QStringLiteral("never"));
    m_historyDaysBox->setToolTip(
        QStringLiteral("A name found taken within these days is filed as taken from the history, "
                       "without asking its registry again, unless it was about to drop or its expiry "
                       "date has passed. Free and unanswered names are always asked again."));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_proxyBox);
    layout->addWidget(m_rdapBox);
    layout->addWidget(m_confirmBox);
    auto* dnsRow = new QHBoxLayout;
    dnsRow->addWidget(m_dnsBox);
    dnsRow->addStretch(1);
    dnsRow->addWidget(namedLabel(QStringLiteral("DNS server:"), "Label8", this));
    dnsRow->addWidget(m_dnsServerEdit);
    layout->addLayout(dnsRow);
    auto* historyRow = new QHBoxLayout;
    historyRow->addWidget(
        namedLabel(QStringLiteral("Do not ask again names found taken within:"), "Label10", this));
    historyRow->addWidget(m_historyDaysBox);
    historyRow->addStretch(1);
    layout->addLayout(historyRow);

    connect(m_proxyBox, &QCheckBox::toggled, m_settings, &ExtensionSettings::setUseProxy);
    connect(m_rdapBox, &QCheckBox::toggled, m_settings, &ExtensionSettings::setPreferRdap);
    connect(m_dnsBox, &QCheckBox::toggled, m_settings, &ExtensionSettings::setCheckDnsFirst);
    connect(m_confirmBox, &QCheckBox::toggled, m_settings, &ExtensionSettings::setConfirmFree);
    connect(m_historyDaysBox, &QSpinBox::valueChanged, m_settings, &ExtensionSettings::setHistoryDays);
    connect(m_dnsServerEdit, &QLineEdit::editingFinished, this, &LookupBox::dnsServerLeft);

    m_proxyBox->setChecked(m_settings->useProxy());
    m_rdapBox->setChecked(m_settings->preferRdap());
    m_dnsBox->setChecked(m_settings->checkDnsFirst());
    m_confirmBox->setChecked(m_settings->confirmFree());
    m_historyDaysBox->setValue(m_settings->historyDays());
    m_dnsServerEdit->setText(m_settings->dnsServer());
}

QList<QWidget*> LookupBox::tabOrder() const
{
    return {m_proxyBox, m_rdapBox, m_confirmBox, m_dnsBox, m_dnsServerEdit, m_historyDaysBox};
}

void LookupBox::dnsServerLeft()
{
    const QString server = m_dnsServerEdit->text().trimmed();
    if (server == m_settings->dnsServer())
        return;
    QString error;
    if (!DnsPrecheck::isResolverAddress(server, &error)) {
        // The stored server stays; the field shows it again.
        m_dnsServerEdit->setText(m_settings->dnsServer());
        Q_EMIT failed(error);
        return;
    }
    m_settings->setDnsServer(server);
}

} // namespace brisquel
