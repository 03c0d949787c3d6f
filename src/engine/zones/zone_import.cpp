#include "zone_import.h"

#include "engine/zones/zone_hash.h"
#include "engine/zones/zone_scanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <vector>

namespace brisquel {

namespace {

constexpr int PartBits = 8;
constexpr int Parts = 1 << PartBits;
constexpr size_t PartBuffer = 8192; // hashes held per part before they go to its file

// The hashes of an import, spread over temporary files by their top byte.
class HashParts
{
public:
    bool open(const QString& folder, QString* error)
    {
        for (int part = 0; part < Parts; ++part) {
            m_files[part].setFileName(QStringLiteral("%1/part-%2").arg(folder).arg(part));
            if (!m_files[part].open(QIODevice::ReadWrite | QIODevice::Truncate)) {
                *error = QStringLiteral("%1 cannot be written: %2")
                             .arg(m_files[part].fileName(), m_files[part].errorString());
                return false;
            }
            m_buffers[part].reserve(PartBuffer);
        }
        return true;
    }
    void add(std::uint64_t hash)
    {
        std::vector<std::uint64_t>& buffer = m_buffers[hash >> (64 - PartBits)];
        buffer.push_back(hash);
        if (buffer.size() == PartBuffer)
            flush(int(hash >> (64 - PartBits)));
    }
    bool flushAll(QString* error)
    {
        for (int part = 0; part < Parts; ++part)
            flush(part);
        if (m_failed)
            *error =
                QStringLiteral("The temporary files of the import cannot be written (is the disk full?).");
        return !m_failed;
    }
    // The part's distinct hashes, ascending.
    bool read(int part, std::vector<std::uint64_t>* hashes)
    {
        QFile& file = m_files[part];
        hashes->resize(size_t(file.size() / 8));
        const qint64 bytes = qint64(hashes->size() * 8);
        if (!file.seek(0) || file.read(reinterpret_cast<char*>(hashes->data()), bytes) != bytes)
            return false;
        std::sort(hashes->begin(), hashes->end());
        hashes->erase(std::unique(hashes->begin(), hashes->end()), hashes->end());
        return true;
    }
    // Sorts each part in place and counts the distinct hashes of all.
    bool settle(quint64* distinct)
    {
        std::vector<std::uint64_t> hashes;
        *distinct = 0;
        for (int part = 0; part < Parts; ++part) {
            if (!read(part, &hashes))
                return false;
            const qint64 bytes = qint64(hashes.size() * 8);
            QFile& file = m_files[part];
            if (!file.resize(0) || !file.seek(0) ||
                file.write(reinterpret_cast<const char*>(hashes.data()), bytes) != bytes)
                return false;
            *distinct += hashes.size();
        }
        return true;
    }

private:
    void flush(int part)
    {
        std::vector<std::uint64_t>& buffer = m_buffers[part];
        const qint64 bytes = qint64(buffer.size() * 8);
        if (bytes > 0 && m_files[part].write(reinterpret_cast<const char*>(buffer.data()), bytes) != bytes)
            m_failed = true;
        buffer.clear();
    }

    std::array<QFile, Parts> m_files;
    std::array<std::vector<std::uint64_t>, Parts> m_buffers;
    bool m_failed = false;
};

} // namespace

QString ZoneImport::zoneOfFile(const QString& path)
{
    return QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0).toLower();
}

QString ZoneImport::indexPath(const QString& zonesFolder, const QString& zone)
{
    return QDir(zonesFolder).filePath(zone + QStringLiteral(".idx"));
}

namespace {

bool scanFiles(const QString& zone, const QStringList& files, HashParts* parts, ZoneImportResult* result,
               QString* error)
{
    const ZoneScanner::NameSink sink = [parts](QByteArrayView label) {
        parts->add(ZoneHash::of(label));
    };
    for (const QString& path : files) {
        ZoneScanner scanner(zone);
        if (!scanner.scan(path, sink, error))
            return false;
        const ZoneScanReport& report = scanner.report();
        result->records += report.records;
        result->malformed += report.malformed;
        for (const QString& problem : report.firstProblems) {
            if (result->firstProblems.size() < ZoneScanner::ProblemsKept)
                result->firstProblems.append(QFileInfo(path).fileName() + QLatin1Char(' ') + problem);
        }
        if (report.hasSerial)
            result->info.serial = report.serial;
        const QDateTime modified = QFileInfo(path).lastModified().toUTC();
        if (!result->info.zoneDate.isValid() || modified > result->info.zoneDate)
            result->info.zoneDate = modified;
    }
    return true;
}

bool writeIndex(const QString& path, HashParts* parts, quint64 names, ZoneInfo* info, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    info->names = qint64(names);
    ZoneIndexWriter writer(&file, names, *info);
    std::vector<std::uint64_t> hashes;
    for (int part = 0; part < Parts; ++part) {
        if (!parts->read(part, &hashes)) {
            *error = QStringLiteral("The temporary files of the import cannot be read back.");
            return false;
        }
        for (const std::uint64_t hash : hashes)
            writer.add(hash);
    }
    if (!writer.finish(error))
        return false;
    if (!file.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    info->fileSize = QFileInfo(path).size();
    return true;
}

} // namespace

bool ZoneImport::run(const QString& zonesFolder, const QString& zone, const QStringList& files,
                     const QDateTime& now, ZoneImportResult* result, QString* error)
{
    *result = ZoneImportResult{};
    result->info.zone = zone.toLower();
    result->info.importedAt = now;
    result->info.source = files.size() == 1 ? QFileInfo(files.first()).fileName()
                                            : QStringLiteral("%1 files").arg(files.size());
    if (!QDir().mkpath(zonesFolder)) {
        *error = QStringLiteral("The folder %1 cannot be made.").arg(zonesFolder);
        return false;
    }
    // Beside the index, so that the temporary files are on its disk and go with a failed import.
    QTemporaryDir temporary(QDir(zonesFolder).filePath(QStringLiteral(".import-XXXXXX")));
    HashParts parts;
    if (!temporary.isValid() || !parts.open(temporary.path(), error)) {
        if (error->isEmpty())
            *error = QStringLiteral("No temporary folder can be made in %1.").arg(zonesFolder);
        return false;
    }
    quint64 names = 0;
    if (!scanFiles(zone, files, &parts, result, error) || !parts.flushAll(error))
        return false;
    if (!parts.settle(&names)) {
        *error = QStringLiteral("The temporary files of the import cannot be sorted (is the disk full?).");
        return false;
    }
    if (names == 0) {
        *error = QStringLiteral(
                     "No delegated name of .%1 was found (%2 records read); the index was left as it was.")
                     .arg(result->info.zone)
                     .arg(result->records);
        return false;
    }
    return writeIndex(indexPath(zonesFolder, result->info.zone), &parts, names, &result->info, error);
}

} // namespace brisquel
