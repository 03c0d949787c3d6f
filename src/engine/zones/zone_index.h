#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

class QSaveFile;

namespace brisquel {

// What an index says of its zone, read from its header.
struct ZoneInfo
{
    QString zone;       // "com"
    qint64 names = 0;   // delegated names
    quint32 serial = 0; // of the SOA, 0 when the file had none
    QDateTime zoneDate; // when the zone file was made (its modification time)
    QDateTime importedAt;
    QString source;      // the file it was read from
    qint64 fileSize = 0; // of the index
};

// The delegated names of one zone, one file, memory-mapped.
//
// Each name is a 64-bit hash h. Its bucket is floor(h * B / 2^64) with B = 5/4 of the names, and its
// fingerprint the next 17 bits (the top of the product's low half); sorted h are sorted by (bucket,
// fingerprint). The fingerprints are packed in that order, 17 bits each; the buckets are an
// Elias-Fano-style directory: per bucket a 1 for each of its names and a 0 to close it (2.25 bits a
// name), with the position of every 512th 0 kept so that finding a bucket scans a few words.
// A name not in the zone is reported present when a name of its bucket has its fingerprint:
// on average (names / B) * 2^-17 = 6.1e-6 of lookups. Space: 17 + 2.25 + 0.08 bits = 2.42 bytes a
// name. A binary fuse filter would need 18-bit fingerprints for the same rate and 2.4-2.5 bytes,
// and a build that holds every hash in memory; this layout is written in one pass over the
// sorted hashes with only the directory (0.28 bytes a name) in memory.
class ZoneIndex
{
public:
    static constexpr int FingerprintBits = 17;
    static constexpr int SampleEvery = 512;

    ZoneIndex() = default;
    ZoneIndex(const ZoneIndex&) = delete;
    ZoneIndex& operator=(const ZoneIndex&) = delete;

    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_fingerprints != nullptr; }
    const ZoneInfo& info() const { return m_info; }
    // label: the lower-case ACE name below the zone ("example" for example.com).
    bool contains(QByteArrayView label) const;
    bool containsHash(std::uint64_t hash) const;

    // The header alone, for listings; false when the file is no index.
    static bool readInfo(const QString& path, ZoneInfo* info, QString* error);

private:
    std::uint64_t fingerprintAt(std::uint64_t index) const;
    std::uint64_t selectZero(std::uint64_t rank) const;

    QFile m_file;
    ZoneInfo m_info;
    std::uint64_t m_buckets = 0;
    const std::uint64_t* m_fingerprints = nullptr;
    const std::uint64_t* m_directory = nullptr;
    const std::uint32_t* m_samples = nullptr;
};

// Writes an index from the distinct hashes of a zone, given in ascending order.
class ZoneIndexWriter
{
public:
    ZoneIndexWriter(QSaveFile* file, std::uint64_t names, const ZoneInfo& info);
    void add(std::uint64_t hash);
    // Writes the directory and the header; false with a message when the file could not take them.
    bool finish(QString* error);

private:
    void flushFingerprints();
    void appendBit(bool one);

    QSaveFile* m_file;
    ZoneInfo m_info;
    std::uint64_t m_names;
    std::uint64_t m_buckets;
    std::uint64_t m_added = 0;
    std::uint64_t m_bucket = 0; // the bucket the directory is at
    std::vector<std::uint64_t> m_directory;
    std::uint64_t m_directoryBits = 0;
    std::uint64_t m_zeros = 0;
    std::vector<std::uint32_t> m_samples;
    std::vector<std::uint64_t> m_pending; // packed fingerprints not yet written
    std::uint64_t m_word = 0;
    int m_wordBits = 0;
    bool m_failed = false;
};

} // namespace brisquel
