#include "lookup_pool.h"

#include "engine/answer_rules.h"
#include "engine/life_cycle.h"
#include "engine/rdap_lookup.h"
#include "engine/whois_lookup.h"
#include "support/local_date.h"

#include <QNetworkAccessManager>
#include <QRegularExpression>

namespace brisquel {

namespace {
constexpr int RdapSlotsPerManager = 6;
constexpr qint64 MaxNamedWaitMs = 5 * 60 * 1000;

bool isTaken(const LookupResult& result)
{
    return result.answered && !result.judgement.refused && isTaken(result.judgement.verdict);
}
} // namespace

LookupPool::LookupPool(QObject* parent)
    : QObject(parent)
{}

LookupPool::~LookupPool() = default;

template <typename Slot>
void LookupPool::applyTimings(Slot& slot) const
{
    slot.setAttemptTimeout(m_timings.attemptMs);
    slot.setMaxAttempts(m_timings.maxAttempts);
    slot.setRetryDelay(m_timings.retryDelay());
}

WhoisLookup* LookupPool::idleWhoisSlot()
{
    for (const auto& slot : m_whois) {
        if (!slot->isBusy())
            return slot.get();
    }
    auto slot = std::make_unique<WhoisLookup>(int(m_whois.size()));
    slot->setWriteDelay(m_writeDelay);
    connect(slot.get(), &WhoisLookup::connected, this, &LookupPool::connected);
    connect(slot.get(), &WhoisLookup::finished, this, [this](int, const WhoisLookup::Result& ended) {
        LookupResult result;
        result.request = ended.request;
        result.answered = ended.outcome == WhoisLookup::Outcome::Answered;
        result.failure = ended.failure;
        result.neverConnected = ended.neverConnected;
        result.proxyFailed = ended.proxyFailed;
        result.tooLarge = ended.outcome == WhoisLookup::Outcome::TooLarge;
        if (result.answered) {
            result.judgement =
                (m_rules ? *m_rules : AnswerRules::shipped())
                    .judge(ended.answer, ended.request.host, ended.request.queryName());
            result.answer = ended.answer;
            if (result.judgement.refused)
                result.namedWaitMs = namedWaitMs(ended.answer);
        }
        if (isTaken(result))
            result.lifeCycle = readWhoisLifeCycle(ended.answer, localToday(), ended.request.host);
        Q_EMIT finished(result);
    });
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
    connect(slot.get(), &RdapLookup::finished, this, [this](const RdapLookup::Result& ended) {
        LookupResult result;
        result.request = ended.request;
        result.answered = ended.answered;
        result.judgement = ended.judgement;
        result.failure = ended.failure;
        result.neverConnected = ended.neverConnected;
        result.proxyFailed = ended.proxyFailed;
        result.answer = ended.body;
        result.namedWaitMs = ended.retryAfterMs;
        if (isTaken(result))
            result.lifeCycle = readRdapLifeCycle(ended.body, localToday());
        Q_EMIT finished(result);
    });
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
    if (request.isRdap()) {
        RdapLookup* slot = idleRdapSlot(request.proxy < m_proxies.size() ? request.proxy : -1);
        applyTimings(*slot);
        slot->start(request);
    } else {
        WhoisLookup* slot = idleWhoisSlot();
        applyTimings(*slot);
        slot->setProxy(request.proxy >= 0 && request.proxy < m_proxies.size()
                           ? std::optional<QNetworkProxy>(m_proxies.at(request.proxy))
                           : std::nullopt);
        slot->start(request);
    }
}

void LookupPool::abortAll()
{
    for (const auto& slot : m_whois)
        slot->abort();
    for (const auto& [proxy, slots] : m_rdap) {
        for (const auto& slot : slots)
            slot->abort();
    }
}

QList<LookupRequest> LookupPool::abortServer(const QString& serverKey)
{
    QList<LookupRequest> aborted;
    const auto take = [&](auto& slot) {
        if (slot->isBusy() && slot->request().serverKey() == serverKey) {
            aborted.append(slot->request());
            slot->abort();
        }
    };
    for (const auto& slot : m_whois)
        take(slot);
    for (const auto& [proxy, slots] : m_rdap) {
        for (const auto& slot : slots)
            take(slot);
    }
    return aborted;
}

int LookupPool::busyCount() const
{
    const auto busy = [](const auto& slot) {
        return slot->isBusy();
    };
    qsizetype count = std::count_if(m_whois.begin(), m_whois.end(), busy);
    for (const auto& [proxy, slots] : m_rdap)
        count += std::count_if(slots.begin(), slots.end(), busy);
    return int(count);
}

qint64 LookupPool::longestRemainingMs() const
{
    qint64 longest = 0;
    for (const auto& slot : m_whois)
        longest = std::max(longest, slot->remainingMs());
    for (const auto& [proxy, slots] : m_rdap) {
        for (const auto& slot : slots)
            longest = std::max(longest, slot->remainingMs());
    }
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
