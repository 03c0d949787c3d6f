#include "sources/browse_scan.h"

#include "support/text_file.h"

#include <QFile>

namespace brisquel {

BrowseScan::BrowseScan(QString listPath, const QStringList& enabledExtensions)
    : m_listPath(std::move(listPath))
    , m_extensions(enabledExtensions)
{}

bool BrowseScan::removeList(QString* error) const
{
    QFile file(m_listPath);
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = QStringLiteral("Cannot remove %1: %2").arg(m_listPath, file.errorString());
    return false;
}

PageScan BrowseScan::scanPage(const QString& bodyHtml, QString* error)
{
    PageScan scan = scanBrowserPage(bodyHtml, &m_seenNames, m_extensions);
    m_foundCount += scan.names.size();
    m_pageNewCount += int(scan.names.size());
    if (!scan.names.isEmpty())
        TextFile::appendLines(m_listPath, scan.names, error);
    return scan;
}

QString BrowseScan::pageStatus() const
{
    return m_pageNewCount > 0 ? QStringLiteral("Domains Found, Checking Status")
                              : QStringLiteral("No Domains Found");
}

} // namespace brisquel
