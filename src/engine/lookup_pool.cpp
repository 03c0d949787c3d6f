#include "lookup_pool.h"

#include "engine/answer_rules.h"
#include "engine/life_cycle.h"
#include "engine/rdap_lookup.h"
#include "engine/whois_lookup.h"

#include <QNetworkAccessManager>
#include <QRegularExpression>

namespace brisquel {

namespace {
constexpr int RdapSlotsPerManager = 6;
constexpr qint64 MaxNamedWaitMs = 5 * 60 * 1000;

bool isTaken(const LookupResult& result)
{
    return result.answered && !result.judgement.refused &&
           (result.judgement.verdict == Verdict::Registered ||
            result.judgement.verdict == Verdict::NotRegistrable);
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
    connect(slot.get(), &WhoisLookup::connected, this, &LookupPool::connected);
    connect(slot.get(), &WhoisLookup::finished, this, [this](int, const WhoisLookup::Result& ended) {
        LookupResult result;
        result.request = ended.request;
        result.answered = ended.outcome == WhoisLookup::Outcome::Answered;
        result.failure = ended.failure;
        result.neverConnected = ended.neverConnected;
        result.tooLarge = ended.outcome == WhoisLookup::Outcome::TooLarge;
        if (result.answered) {
            result.judgement =
                (m_rules ? *m_rules : AnswerRules::shipped()).judge(ended.answer, ended.request.host);
            result.answer = ended.answer;
            if (result.judgement.refused)
                result.namedWaitMs = namedWaitMs(ended.answer);
        }
        if (isTaken(result))
            result.lifeCycle = readWhoisLifeCycle(ended.answer, QDate::currentDate());
        Q_EMIT finished(result);
    });
    m_whois.push_back(std::move(slot));
    return m_whois.back().get();
}

RdapLookup* LookupPool::idleRdapSlot()
{
    for (const auto& slot : m_rdap) {
        if (!slot->isBusy())
            return slot.get();
    }
    const size_t group = m_rdap.size() / RdapSlotsPerManager;
    if (m_managers.size() <= group)
        m_managers.push_back(std::make_unique<QNetworkAccessManager>());
    auto slot = std::make_unique<RdapLookup>(m_managers.at(group).get());
    connect(slot.get(), &RdapLookup::finished, this, [this](const RdapLookup::Result& ended) {
        LookupResult result;
        result.request = ended.request;
        result.answered = ended.answered;
        result.judgement = ended.judgement;
        result.failure = ended.failure;
        result.neverConnected = ended.neverConnected;
        result.answer = ended.body;
        result.namedWaitMs = ended.retryAfterMs;
        if (isTaken(result))
            result.lifeCycle = readRdapLifeCycle(ended.body, QDate::currentDate());
        Q_EMIT finished(result);
    });
    m_rdap.push_back(std::move(slot));
    return m_rdap.back().get();
}

void LookupPool::start(const LookupRequest& request)
{
    if (request.isRdap()) {
        RdapLookup* slot = idleRdapSlot();
        applyTimings(*slot);
        slot->start(request);
    } else {
        WhoisLookup* slot = idleWhoisSlot();
        applyTimings(*slot);
        slot->start(request);
    }
}

void LookupPool::abortAll()
{
    for (const auto& slot : m_whois)
        slot->abort();
    for (const auto& slot : m_rdap)
        slot->abort();
}

int LookupPool::busyCount() const
{
    const auto busy = [](const auto& slot) {
        return slot->isBusy();
    };
    return int(std::count_if(m_whois.begin(), m_whois.end(), busy) +
               std::count_if(m_rdap.begin(), m_rdap.end(), busy));
}

qint64 LookupPool::longestRemainingMs() const
{
    qint64 longest = 0;
    for (const auto& slot : m_whois)
        longest = std::max(longest, slot->remainingMs());
    for (const auto& slot : m_rdap)
        longest = std::max(longest, slot->remainingMs());
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
