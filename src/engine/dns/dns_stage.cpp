#include "dns_stage.h"

#include "engine/dns/dns_precheck.h"

namespace brisquel {

DnsStage::DnsStage(QObject* parent)
    : QObject(parent)
{}

DnsStage::~DnsStage() = default;

void DnsStage::prepare(const QString& server, int attemptMs)
{
    if (!m_dns) {
        m_dns = std::make_unique<DnsPrecheck>();
        connect(m_dns.get(), &DnsPrecheck::checked, this, &DnsStage::onChecked);
        connect(m_dns.get(), &DnsPrecheck::extensionSkipped, this, [this](const QString& extension) {
            Q_EMIT notice(QStringLiteral("DNS pre-check off for .%1 in this search: its zone answers for "
                                         "made-up names or did not answer; its names go to the registry.")
                              .arg(extension));
        });
        connect(m_dns.get(), &DnsPrecheck::switchedOff, this, &DnsStage::notice);
    }
    cancelAll();
    m_dns->resetRun();
    m_dns->setResolver(server, nullptr);
    // DNS answers in milliseconds or not at all: never wait on it longer than on a registry.
    m_dns->setTimeout(std::min(DnsPrecheck::DefaultTimeoutMs, attemptMs), DnsPrecheck::DefaultTries);
}

bool DnsStage::isActive() const
{
    return m_dns && !m_dns->isSwitchedOff();
}

void DnsStage::add(const LookupRequest& request)
{
    m_queue.push_back(request);
}

void DnsStage::feed()
{
    while (m_dns && !m_queue.empty() && m_dns->hasRoom()) {
        const LookupRequest request = m_queue.front();
        m_queue.pop_front();
        m_inFlight.insert(request.entryNumber, request);
        m_dns->check(quint64(request.entryNumber), request.queryName());
    }
}

void DnsStage::cancelAll()
{
    if (m_dns)
        m_dns->cancelAll();
    m_queue.clear();
    m_inFlight.clear();
}

void DnsStage::onChecked(quint64 id, bool isDelegated, bool undelegated)
{
    const auto found = m_inFlight.constFind(qint64(id));
    if (found == m_inFlight.cend())
        return;
    const LookupRequest request = *found;
    m_inFlight.erase(found);
    if (isDelegated)
        Q_EMIT delegated(request);
    else
        Q_EMIT passed(request, undelegated);
}

} // namespace brisquel
