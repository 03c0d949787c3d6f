#include "remembered_list.h"

#include "support/file_helpers.h"
#include "support/text_file.h"

namespace brisquel::RememberedList {

QStringList load(const QString& path, QString* error)
{
    QStringList lines;
    if (!fileExists(path))
        return {};
    TextFile::readLines(path, &lines, error);
    lines.removeIf([](const QString& line) { return line.isEmpty() || line == QLatin1String(" "); });
    return lines;
}

bool save(const QString& path, const QStringList& names, QString* error)
{
    return TextFile::writeLines(path, names, error);
}

} // namespace brisquel::RememberedList
