#include "extension_table.h"

#include <QSet>
#include <utility>

namespace brisquel {

namespace {
const QString ProxyExtension = QStringLiteral("proxy");
const QString FallbackExtension = QStringLiteral("com");
} // namespace

ExtensionTable::ExtensionTable(QList<ExtensionRow> rows)
    : m_rows(std::move(rows))
{}

void ExtensionTable::setRows(QList<ExtensionRow> rows)
{
    m_rows = std::move(rows);
}

int ExtensionTable::findExtensionIndex(const QString& domain, bool useProxy) const
{
    if (m_rows.isEmpty())
        return NoRow;
    // lastIndexOf gives -1 without a dot, so the whole domain becomes the key.
    const QString key =
        useProxy ? ProxyExtension : domain.mid(domain.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    int fallback = 0;
    for (int i = 0; i < rowCount(); ++i) {
        const QString& extension = m_rows.at(i).extension;
        if (extension == key)
            return i;
        if (extension == FallbackExtension)
            fallback = i;
    }
    return fallback;
}

QStringList ExtensionTable::enabledExtensions() const
{
    QStringList result;
    QSet<QString> seen;
    for (const ExtensionRow& row : m_rows) {
        if (!row.enabled || row.extension.isEmpty() || row.extension == ProxyExtension)
            continue;
        if (seen.contains(row.extension))
            continue;
        seen.insert(row.extension);
        result.append(row.extension);
    }
    return result;
}

} // namespace brisquel
