#include "engine/browse_checker.h"

#include "engine/answer_rules.h"
#include "engine/list_files.h"
#include "engine/lookup_name.h"
#include "engine/result_lists.h"
#include "sources/domain_text.h"
#include "support/text_file.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"

#include <QNetworkAccessManager>
#include <QStringListModel>

namespace brisquel {

BrowseChecker::BrowseChecker(QString listPath, QString unansweredPath, const ExtensionTable* table,
                             ResultLists* lists, QObject* parent)
    : QObject(parent)
    , m_listPath(std::move(listPath))
    , m_unansweredPath(std::move(unansweredPath))
    , m_table(table)
    , m_lists(lists)
    , m_lookup(new WhoisLookup(0, this))
    , m_network(new QNetworkAccessManager(this))
    , m_rdapLookup(new RdapLookup(m_network, this))
    , m_captions{QStringLiteral("Unregistered:"), QStringLiteral("Registered:")}
{
    for (auto& model : m_models)
        model = new QStringListModel(this);
    setTimings(Timings());
    connect(m_lookup, &WhoisLookup::finished, this, &BrowseChecker::onFinished);
    connect(m_rdapLookup, &RdapLookup::finished, this, &BrowseChecker::onRdapFinished);
    connect(&m_poll, &QTimer::timeout, this, &BrowseChecker::checkNext);
}

BrowseChecker::~BrowseChecker() = default;

void BrowseChecker::setTimings(const Timings& timings)
{
    m_lookup->setAttemptTimeout(timings.attemptMs);
    m_lookup->setMaxAttempts(timings.maxAttempts);
    m_lookup->setRetryDelay(timings.retryDelayMs);
    m_rdapLookup->setAttemptTimeout(timings.attemptMs);
    m_rdapLookup->setMaxAttempts(timings.maxAttempts);
    m_rdapLookup->setRetryDelay(timings.retryDelayMs);
    m_poll.setInterval(timings.pollMs);
}

void BrowseChecker::start()
{
    m_poll.start();
    checkNext();
}

void BrowseChecker::checkNext()
{
    QString entry;
    while (!isChecking()) {
        if (!readEntry(&entry)) {
            // Said once on arriving at the end, not at every poll.
            if (!m_idle) {
                m_idle = true;
                Q_EMIT statusText(QStringLiteral("Checked %1 unique domains.").arg(m_checkedCount));
                Q_EMIT idle();
            }
            return;
        }
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
    const int row = m_table ? m_table->findExtensionIndex(domain, m_useProxy) : ExtensionTable::NoRow;
    if (row == ExtensionTable::NoRow) {
        fileUnanswered(domain, QStringLiteral("no WHOIS server for its extension"));
        return false;
    }
    const QString query = queryDomain(domain);
    if (query.isEmpty()) {
        fileUnanswered(domain, QStringLiteral("no valid ASCII (IDNA) form"));
        return false;
    }
    WhoisLookup::Request request;
    request.domain = domain;
    if (query != domain)
        request.query = query;
    request.host = m_table->row(row).server;
    request.port = quint16(m_table->row(row).port);
    request.entryNumber = m_nextEntry - 1;
    Q_EMIT statusText(QStringLiteral("Checking status of: ") + domain);
    if (isRdapServer(request.host)) {
        QString reason;
        const QUrl base = rdapBaseUrl(request.host, &reason);
        if (!base.isValid()) {
            fileUnanswered(domain, reason);
            return false;
        }
        request.setRdapBase(base);
        m_rdapLookup->start(request);
        return true;
    }
    m_lookup->start(request);
    return true;
}

void BrowseChecker::onFinished(int, const WhoisLookup::Result& result)
{
    const bool answered = result.outcome == WhoisLookup::Outcome::Answered;
    settle(result.request.domain, answered,
           answered ? (m_rules ? *m_rules : AnswerRules::shipped()).judge(result.answer, result.request.host)
                    : AnswerRules::Judgement(),
           result.failure);
}

void BrowseChecker::onRdapFinished(const RdapLookup::Result& result)
{
    settle(result.request.domain, result.answered, result.judgement, result.failure);
}

void BrowseChecker::settle(const QString& domain, bool answered, const AnswerRules::Judgement& judgement,
                           const QString& failure)
{
    if (!answered)
        fileUnanswered(domain, failure);
    else if (judgement.verdict == Verdict::Unanswered)
        fileUnanswered(domain, judgement.detail);
    else
        file(domain, judgement.verdict);
    checkNext();
}

void BrowseChecker::file(const QString& domain, Verdict verdict)
{
    const Column column = verdict == Verdict::Available ? Column::Unregistered : Column::Registered;
    // Reserved and premium names cannot be had either; they go with the taken ones.
    if (column == Column::Unregistered)
        m_lists->addAvailableName(domain);
    else
        m_lists->addRegisteredName(domain);
    if (m_listFiles)
        m_listFiles->overflowCheck();
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

void BrowseChecker::fileUnanswered(const QString& domain, const QString& reason)
{
    ++m_unansweredCount;
    Q_EMIT checked(domain, Verdict::Unanswered);
    if (!m_inUnansweredFile) {
        QStringList names;
        TextFile::readLines(m_unansweredPath, &names);
        m_inUnansweredFile = std::make_unique<QSet<QString>>();
        for (const QString& name : std::as_const(names))
            m_inUnansweredFile->insert(name.trimmed());
    }
    if (m_inUnansweredFile->contains(domain))
        return;
    QString error;
    if (!TextFile::appendLines(m_unansweredPath, {domain}, &error)) {
        Q_EMIT problem(QStringLiteral("%1 got no answer (%2) and could not be kept in Unanswered.txt: %3")
                           .arg(domain, reason, error));
        return;
    }
    m_inUnansweredFile->insert(domain);
}

QStringList BrowseChecker::entries(Column column) const
{
    return model(column)->stringList();
}

QString BrowseChecker::copyText(Column column) const
{
    QString text;
    for (const QString& entry : entries(column))
        text += entry + QLatin1String("\r\n");
    return text;
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
