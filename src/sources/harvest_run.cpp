#include "harvest_run.h"

#include "sources/page_extraction.h"
#include "support/file_helpers.h"
#include "support/text_file.h"

#include <QDir>

namespace brisquel {

namespace {

constexpr qsizetype MaxTermInFileName = 100;

// The query value percent-encoded, spaces as "+": "&", "#" and "+" in a search string stay its own.
QString queryValue(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(" ")))
        .replace(QLatin1Char(' '), QLatin1Char('+'));
}

QString engineName(SearchEngine engine)
{
    return engine == SearchEngine::Yahoo ? QStringLiteral("Yahoo") : QStringLiteral("Google");
}

} // namespace

HarvestRun::HarvestRun(SearchEngine engine, const QString& searchString, int targetCount,
                       const QString& engineAddress, const QStringList& enabledExtensions)
    : m_engine(engine)
    , m_searchString(searchString)
    , m_targetCount(targetCount)
    , m_engineAddress(engineAddress)
    , m_extensions(enabledExtensions)
{}

std::optional<SearchEngine> HarvestRun::engineFor(SearchType type)
{
    if (type == SearchType::YahooSearch)
        return SearchEngine::Yahoo;
    if (type == SearchType::GoogleSearch)
        return SearchEngine::Google;
    return std::nullopt;
}

int HarvestRun::targetCountFor(int comboIndex)
{
    switch (comboIndex) {
    case 1:
        return 200;
    case 2:
        return 500;
    case 3:
        return 1000;
    default:
        return 100;
    }
}

QString HarvestRun::archiveFileName(SearchEngine engine, const QString& searchString)
{
    QString term;
    for (const QChar c : searchString.left(MaxTermInFileName)) {
        const bool unsafe = c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F ||
                            c.category() == QChar::Other_Control;
        term += unsafe ? QLatin1Char('_') : c;
    }
    // "." and ".." would name folders, not files.
    if (term.trimmed() == QLatin1String(".") || term.trimmed() == QLatin1String(".."))
        term.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("searches/%1 %2.txt").arg(engineName(engine), term);
}

QUrl HarvestRun::pageUrl() const
{
    QUrl url = m_engineAddress;
    const QString terms = queryValue(m_searchString);
    if (m_engine == SearchEngine::Yahoo) {
        url.setPath(QStringLiteral("/search/dir"));
        // Joined, not .arg()-chained: the encoded terms hold "%" sequences of their own.
        url.setQuery(QStringLiteral("h=s&xargs=0&p=") + terms + QStringLiteral("&b=") +
                         QString::number(m_resultOffset),
                     QUrl::StrictMode);
    } else {
        url.setPath(QStringLiteral("/search"));
        url.setQuery(QStringLiteral("num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0&start=") +
                         QString::number(m_resultOffset - 1) + QStringLiteral("&sa=N&q=") + terms,
                     QUrl::StrictMode);
    }
    return url;
}

QStringList HarvestRun::addPage(const QString& bodyHtml)
{
    const QStringList added = extractHarvestNames(bodyHtml, &m_harvestText, m_extensions);
    m_pageNewCount = int(added.size());
    m_pageRead = true;
    m_foundCount += m_pageNewCount;
    return added;
}

bool HarvestRun::wantsNextPage() const
{
    // The target is looked at between pages only: one page may take the count well past it.
    return m_pageRead && foundCount() < m_targetCount && m_pageNewCount > 0;
}

void HarvestRun::nextPage()
{
    m_resultOffset += m_engine == SearchEngine::Yahoo ? 20 : 100;
    m_pageRead = false;
}

bool HarvestRun::finish(const QString& dataRoot, Saved* saved, QString* error)
{
    QString text = m_harvestText;
    for (int pass = 0; pass < 7; ++pass)
        text.replace(QStringLiteral("\r\n\r\n"), QStringLiteral("\r\n"));
    text.remove(QStringLiteral("comtarget=_blank\r\n"));
    text.remove(QStringLiteral("orgtarget=_blank\r\n"));
    // Names keep no blank at their ends in the list: the search would trim them anyway.
    QStringList lines;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    saved->listPath = dataRoot + QStringLiteral("/BrowserSearch.txt");
    if (!TextFile::writeLines(saved->listPath, lines, error))
        return false;
    saved->entries = lines.size();
    saved->archivePath = dataRoot + QLatin1Char('/') + archiveFileName(m_engine, m_searchString);
    QDir().mkpath(dataRoot + QStringLiteral("/searches"));
    if (!copyFileTo(saved->listPath, saved->archivePath))
        saved->archiveError = QStringLiteral("The copy %1 could not be written.").arg(saved->archivePath);
    return true;
}

} // namespace brisquel
