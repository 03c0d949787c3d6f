#include "lookup_pool.h"

#include "engine/judging/answer_rules.h"
#include "engine/lookup/lookup.h"
#include "engine/lookup/rdap_lookup.h"
#include "engine/lookup/whois_lookup.h"
#include "support/local_date.h"

#include <QNetworkAccessManager>
#include <QRegularExpression>

namespace brisquel {

namespace {
constexpr int RdapSlotsPerManager = 6;
constexpr qint64 MaxNamedWaitMs = 5 * 60 * 1000;
} // namespace

LookupPool::LookupPool(QObject* parent)
    : QObject(parent)
{}

LookupPool::~LookupPool() = default;

template <typename Visit>
void LookupPool::forEachSlot(Visit visit) const
{
    for (const auto& slot : m_whois)
        visit(*slot);
    for (const auto& [proxy, slots] : m_rdap) {
        for (const auto& slot : slots)
            visit(*slot);
    }
}

void LookupPool::adopt(Lookup* slot, int number)
{
    connect(slot, &Lookup::connected, this, [this, number](const QString& domain) {
        Q_EMIT connected(number, domain);
    });
    connect(slot, &Lookup::finished, this, &LookupPool::onReply);
}

void LookupPool::onReply(const LookupReply& reply)
{
    Q_EMIT finished(judgeReply(reply, m_rules ? *m_rules : AnswerRules::shipped(), localToday()));
}

WhoisLookup* LookupPool::idleWhoisSlot()
{
    for (const auto& slot : m_whois) {
        if (!slot->isBusy())
            return slot.get();
    }
    auto slot = std::make_unique<WhoisLookup>();
    slot->setWriteDelay(m_writeDelay);
    adopt(slot.get(), int(m_whois.size()));
    m_whois.push_back(std::move(slot));
    return m_whois.back().get();
}

void LookupPool::setProxies(const QList<QNetworkProxy>& proxies)
{
    abortAll();
    m_proxies = proxies;
    // Slots made for other proxies would keep their managers' old settings.
    m_rdap.clear();
    m_managers.clear();
}

RdapLookup* LookupPool::idleRdapSlot(int proxy)
{
    auto& slots = m_rdap[proxy];
    for (const auto& slot : slots) {
        if (!slot->isBusy())
            return slot.get();
    }
    auto& managers = m_managers[proxy];
    const size_t group = slots.size() / RdapSlotsPerManager;
    if (managers.size() <= group) {
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        if (proxy >= 0 && proxy < m_proxies.size())
            managers.back()->setProxy(m_proxies.at(proxy));
    }
    auto slot = std::make_unique<RdapLookup>(managers.at(group).get());
    // RDAP slots never report a connection, so their numbers are never shown.
    adopt(slot.get(), -1);
    slots.push_back(std::move(slot));
    return slots.back().get();
}

void LookupPool::setWriteDelay(std::function<qint64(const LookupRequest&)> delay)
{
    m_writeDelay = std::move(delay);
    for (const auto& slot : m_whois)
        slot->setWriteDelay(m_writeDelay);
}

void LookupPool::start(const LookupRequest& request)
{
    Lookup* slot = nullptr;
    if (request.isRdap()) {
        slot = idleRdapSlot(request.proxy < m_proxies.size() ? request.proxy : -1);
    } else {
        WhoisLookup* whois = idleWhoisSlot();
        whois->setProxy(request.proxy >= 0 && request.proxy < m_proxies.size()
                            ? std::optional<QNetworkProxy>(m_proxies.at(request.proxy))
                            : std::nullopt);
        slot = whois;
    }
    slot->setTimings(m_timings);
    slot->start(request);
}

void LookupPool::abortAll()
{
    forEachSlot([](Lookup& slot) { slot.abort(); });
}

QList<LookupRequest> LookupPool::abortServer(const QString& serverKey)
{
    QList<LookupRequest> aborted;
    forEachSlot([&](Lookup& slot) {
        if (slot.isBusy() && slot.request().serverKey() == serverKey) {
            aborted.append(slot.request());
            slot.abort();
        }
    });
    return aborted;
}

int LookupPool::busyCount() const
{
    int count = 0;
    forEachSlot([&](const Lookup& slot) { count += slot.isBusy() ? 1 : 0; });
    return count;
}

qint64 LookupPool::longestRemainingMs() const
{
    qint64 longest = 0;
    forEachSlot([&](const Lookup& slot) { longest = std::max(longest, slot.remainingMs()); });
    return longest;
}

qint64 LookupPool::namedWaitMs(const QByteArray& answer)
{
    static const QRegularExpression wait(
        QStringLiteral(
            "\\b(?:wait|in|for|of|after)\\s+(\\d{1,6})\\s*(s|sec|secs|seconds?|m|min|mins|minutes?)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = wait.match(QString::fromUtf8(answer.left(4096)));
    if (!match.hasMatch())
        return 0;
    const qint64 count = match.captured(1).toLongLong();
    const bool minutes = match.captured(2).startsWith(QLatin1Char('m'), Qt::CaseInsensitive);
    return std::min<qint64>(count * (minutes ? 60000 : 1000), MaxNamedWaitMs);
}

} // namespace brisquel
