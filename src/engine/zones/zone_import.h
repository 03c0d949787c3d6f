#pragma once

#include "engine/zones/zone_index.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace brisquel {

struct ZoneImportResult
{
    ZoneInfo info;             // of the index written
    qint64 records = 0;        // records read, of every type
    qint64 malformed = 0;      // lines skipped
    QStringList firstProblems; // "FILE line N: ..."
};

// Imports the zone files of one zone into its index, `zones/<zone>.idx` of the data folder.
//
// Each delegated name is hashed to 64 bits and appended to one of 256 temporary files by the top
// byte of its hash; each part is then sorted and its duplicates dropped, and the parts, in order,
// stream into the index. Memory stays near 20 MB of buffers plus the index's bucket directory
// (0.28 bytes a name: 45 MB for the 160 million names of .com) and one part (5 MB for .com); the
// temporary files take 8 bytes a name beside the index. The index is replaced only when it was
// written whole: a failed or interrupted import leaves the previous one in use.
class ZoneImport
{
public:
    // The zone a file name tells: "com" for com.txt.gz, as CZDS names its files.
    static QString zoneOfFile(const QString& path);
    static QString indexPath(const QString& zonesFolder, const QString& zone);

    // False with a message when a file cannot be read, holds no delegated name, or the index cannot
    // be written; the previous index then stays.
    bool run(const QString& zonesFolder, const QString& zone, const QStringList& files, const QDateTime& now,
             ZoneImportResult* result, QString* error);
};

} // namespace brisquel
