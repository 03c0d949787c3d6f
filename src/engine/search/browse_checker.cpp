#include "engine/search/browse_checker.h"

#include "engine/judging/answer_rules.h"
#include "engine/lookup/lookup.h"
#include "engine/names/lookup_name.h"
#include "engine/lookup/lookup_pool.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/filing/verdict_filer.h"
#include "sources/domain_text.h"

#include <QStringListModel>

namespace brisquel {

BrowseChecker::BrowseChecker(QString listPath, const LookupRouter* router, VerdictFiler* filer,
                             QObject* parent)
    : QObject(parent)
    , m_listPath(std::move(listPath))
    , m_router(router)
    , m_filer(filer)
    , m_pool(new LookupPool(this))
    , m_captions{QStringLiteral("Unregistered:"), QStringLiteral("Registered:")}
{
    for (auto& model : m_models)
        model = new QStringListModel(this);
    setTimings(Timings());
    connect(m_pool, &LookupPool::finished, this, &BrowseChecker::settle);
    connect(&m_poll, &QTimer::timeout, this, &BrowseChecker::checkNext);
}

BrowseChecker::~BrowseChecker()
{
    releaseFolder();
}

void BrowseChecker::releaseFolder()
{
    if (m_holdsFolder)
        m_filer->release();
    m_holdsFolder = false;
}

void BrowseChecker::setTimings(const Timings& timings)
{
    LookupTimings lookup;
    lookup.attemptMs = timings.attemptMs;
    lookup.maxAttempts = timings.maxAttempts;
    lookup.retryDelayMs = timings.retryDelayMs;
    m_pool->setTimings(lookup);
    m_poll.setInterval(timings.pollMs);
}

void BrowseChecker::setAnswerRules(std::shared_ptr<const AnswerRules> rules)
{
    m_pool->setAnswerRules(std::move(rules));
}

bool BrowseChecker::isChecking() const
{
    return m_pool->busyCount() > 0;
}

void BrowseChecker::start()
{
    m_poll.start();
    checkNext();
}

void BrowseChecker::checkNext()
{
    if (m_ended)
        return;
    if (m_stopped) {
        // Asked to go on after a failed write: the name that failed is the first again.
        m_stopped = false;
        m_poll.start();
    }
    QString entry;
    while (!isChecking() && !m_stopped) {
        const qint64 offset = m_readOffset;
        if (!readEntry(&entry)) {
            releaseFolder();
            // Said once on arriving at the end, not at every poll.
            if (!m_idle) {
                m_idle = true;
                Q_EMIT statusText(QStringLiteral("Checked %1 unique domains.").arg(m_checkedCount));
                Q_EMIT idle();
            }
            return;
        }
        if (!m_holdsFolder) {
            QString error;
            if (!m_filer->claim(&error)) {
                // Read again at the next poll, once the other search has ended.
                m_readOffset = offset;
                if (!m_toldFolderBusy)
                    Q_EMIT problem(error);
                m_toldFolderBusy = true;
                return;
            }
            m_holdsFolder = true;
            m_toldFolderBusy = false;
        }
        m_entryOffset = offset;
        m_idle = false;
        ++m_nextEntry;
        if (startCheck(entry))
            return;
    }
}

bool BrowseChecker::readEntry(QString* entry)
{
    if (!m_list.isOpen()) {
        m_list.setFileName(m_listPath);
        if (!m_list.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
    }
    if (!m_list.seek(m_readOffset))
        return false;
    // Only whole lines count: the scan may be half way through appending the last one.
    while (!m_list.atEnd()) {
        const QByteArray line = m_list.readLine();
        if (!line.endsWith('\n'))
            return false;
        m_readOffset += line.size();
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty()) {
            *entry = text;
            return true;
        }
    }
    return false;
}

bool BrowseChecker::startCheck(const QString& entry)
{
    const QString domain = correctName(urlDecode(entry));
    if (!isQueryableDomain(domain))
        return false;
    const QString query = queryDomain(domain);
    if (query.isEmpty()) {
        file(domain, Verdict::Unanswered, QStringLiteral("no valid ASCII (IDNA) form"));
        return false;
    }
    LookupRequest request;
    request.domain = domain;
    if (query != domain)
        request.query = query;
    request.entryNumber = m_nextEntry - 1;
    QString reason;
    if (!m_router->route(&request, &reason)) {
        file(domain, Verdict::Unanswered, reason);
        return false;
    }
    Q_EMIT statusText(QStringLiteral("Checking %1 of %2: %3").arg(m_nextEntry).arg(entryTotal()).arg(domain));
    m_proxyRetries = 0;
    startThroughProxy(request);
    return true;
}

// Through the router's proxies, taking turns; straight when there are none.
void BrowseChecker::startThroughProxy(LookupRequest request)
{
    const QList<ProxyEntry>& proxies = m_router->proxies();
    QStringList names;
    QList<QNetworkProxy> network;
    for (const ProxyEntry& proxy : proxies) {
        names.append(proxy.displayName() + QLatin1Char('|') + proxy.password);
        network.append(proxy.networkProxy());
    }
    if (names != m_poolProxies) {
        m_pool->setProxies(network);
        m_poolProxies = names;
    }
    request.proxy = proxies.isEmpty() ? -1 : m_nextProxy++ % int(proxies.size());
    m_pool->start(request);
}

void BrowseChecker::settle(const LookupResult& result)
{
    if (m_ended)
        return;
    // A failed proxy is no answer about the name: the next one is tried, each once.
    if (result.proxyFailed && ++m_proxyRetries < m_router->proxies().size()) {
        startThroughProxy(result.request);
        return;
    }
    Verdict verdict = result.answered ? result.judgement.verdict : Verdict::Unanswered;
    QString detail = result.answered ? result.judgement.detail : result.failure;
    NameFacts facts = result.facts;
    if (const QString whoisHost = std::exchange(m_confirmingFor, QString()); !whoisHost.isEmpty()) {
        applyConfirmation(result.request, whoisHost, &verdict, &detail, &facts);
    } else if (verdict == Verdict::Available && result.request.isRdap()) {
        facts.confirmed = Confirmation::Rdap;
    } else if (verdict == Verdict::Available) {
        // Filed only once RDAP had its say, like the search's names.
        LookupRequest rdap = result.request;
        if (m_router->confirmation(&rdap)) {
            m_confirmingFor = result.request.host;
            startThroughProxy(rdap);
            return;
        }
    }
    file(result.request.domain, verdict, detail, facts);
    checkNext();
}

bool BrowseChecker::file(const QString& domain, Verdict verdict, const QString& detail,
                         const NameFacts& facts)
{
    const VerdictFiler::Filed filed = m_filer->file(domain, verdict, detail, facts);
    if (!filed.saved) {
        // Nothing is counted or listed that is not on disk; the name is checked again on going on.
        m_stopped = true;
        m_poll.stop();
        m_readOffset = m_entryOffset;
        --m_nextEntry;
        releaseFolder();
        Q_EMIT statusText(QStringLiteral("Checking stopped: %1 cannot be written.").arg(filed.file));
        Q_EMIT problem(QStringLiteral("Cannot write %1: %2. Checking stopped at %3; %4, then open a page to "
                                      "go on.")
                           .arg(filed.file, filed.cause, domain, filed.advice));
        return false;
    }
    showFiled(domain, verdict);
    return true;
}

void BrowseChecker::showFiled(const QString& domain, Verdict verdict)
{
    if (verdict == Verdict::Unanswered) {
        ++m_unansweredCount;
        Q_EMIT checked(domain, verdict);
        return;
    }
    // Reserved and premium names cannot be had either; they go with the taken ones.
    const Column column = verdict == Verdict::Available ? Column::Unregistered : Column::Registered;
    ++m_checkedCount;
    const int i = index(column);
    ++m_filed[i];
    QStringListModel* model = m_models[i];
    model->insertRows(model->rowCount(), 1);
    model->setData(model->index(model->rowCount() - 1), domain);
    if (column == Column::Unregistered) {
        setCaption(column, QStringLiteral("Unregistered: (%1)").arg(m_filed[i]));
        Q_EMIT statusText(QStringLiteral("Unregistered: ") + domain);
    } else {
        setCaption(column, QStringLiteral("Registered: (%1)").arg(m_filed[i]));
    }
    Q_EMIT checked(domain, verdict);
}

namespace {

// The whole non-empty lines of the list from `offset` on; *end is where the last whole line ends.
QStringList wholeEntriesFrom(const QString& path, qint64 offset, qint64* end = nullptr)
{
    QStringList entries;
    QFile file(path);
    if (end)
        *end = offset;
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return entries;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        // The scan may be half way through appending the last one.
        if (!line.endsWith('\n'))
            break;
        offset += line.size();
        if (end)
            *end = offset;
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty())
            entries.append(text);
    }
    return entries;
}

} // namespace

qint64 BrowseChecker::entryTotal()
{
    m_entryTotal += wholeEntriesFrom(m_listPath, m_countedOffset, &m_countedOffset).size();
    return m_entryTotal;
}

QStringList BrowseChecker::uncheckedNames() const
{
    if (m_ended)
        return {};
    // The entry under check starts at m_entryOffset; after it, everything from m_readOffset on.
    const qint64 from = isChecking() || m_stopped ? m_entryOffset : m_readOffset;
    QStringList names;
    for (const QString& entry : wholeEntriesFrom(m_listPath, from)) {
        const QString domain = correctName(urlDecode(entry));
        if (isQueryableDomain(domain))
            names.append(domain);
    }
    return names;
}

void BrowseChecker::stop()
{
    m_ended = true;
    m_poll.stop();
    m_pool->abortAll();
    m_list.close();
    releaseFolder();
}

bool BrowseChecker::fileUncheckedAsUnanswered(QString* error)
{
    const QStringList names = uncheckedNames();
    stop();
    const QString reason = QStringLiteral("not checked before Browse for Domains closed");
    for (const QString& domain : names) {
        const VerdictFiler::Filed filed = m_filer->file(domain, Verdict::Unanswered, reason);
        if (!filed.saved) {
            if (error)
                *error =
                    QStringLiteral("Cannot write %1: %2; %3.").arg(filed.file, filed.cause, filed.advice);
            return false;
        }
    }
    return true;
}

QStringList BrowseChecker::entries(Column column) const
{
    return model(column)->stringList();
}

void BrowseChecker::clear(Column column)
{
    model(column)->setStringList({});
    m_filed[index(column)] = 0;
    setCaption(column, column == Column::Unregistered ? QStringLiteral("Unregistered")
                                                      : QStringLiteral("Registered"));
}

bool BrowseChecker::deleteEntry(Column column, int row)
{
    QStringListModel* list = model(column);
    if (row < 0 || row >= list->rowCount())
        return false;
    list->removeRows(row, 1);
    const QString title =
        column == Column::Unregistered ? QStringLiteral("Unregistered") : QStringLiteral("Registered");
    setCaption(column, QStringLiteral("%1 (%2)").arg(title).arg(list->rowCount()));
    return true;
}

void BrowseChecker::setCaption(Column column, const QString& caption)
{
    m_captions[index(column)] = caption;
    Q_EMIT captionChanged(column, caption);
}

} // namespace brisquel
