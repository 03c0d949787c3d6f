#include "zone_index.h"

#include "engine/zones/zone_hash.h"

#include <QFileInfo>
#include <QSaveFile>
#include <bit>
#include <cstring>

namespace brisquel {

namespace {

constexpr char Magic[8] = {'B', 'R', 'Z', 'I', 'D', 'X', '1', '\n'};
constexpr quint32 Version = 1;

// The file's first 512 bytes, little-endian as the machines it runs on.
struct Header
{
    char magic[8];
    quint32 version;
    quint32 fingerprintBits;
    quint64 names;
    quint64 buckets;
    quint64 directoryBits;
    quint64 samples;
    quint32 serial;
    quint32 reserved;
    qint64 zoneDate;   // ms since the epoch, UTC
    qint64 importedAt; // ms since the epoch, UTC
    char zone[64];
    char source[376];
};
static_assert(sizeof(Header) == 512);

quint64 fingerprintWords(quint64 names)
{
    return (names * ZoneIndex::FingerprintBits + 63) / 64 + 1; // one spare word: reads take two
}

quint64 directoryWords(quint64 bits)
{
    return (bits + 63) / 64 + 1; // a spare word: a scan may look one past the last bucket
}

quint64 sampleBytes(quint64 samples)
{
    return (samples * 4 + 7) / 8 * 8;
}

quint64 bucketsFor(quint64 names)
{
    return std::max<quint64>(1, names + names / 4);
}

struct Place
{
    quint64 bucket;
    quint64 fingerprint;
};

Place placeOf(std::uint64_t hash, quint64 buckets)
{
    const ZoneHash::Wide product = static_cast<ZoneHash::Wide>(hash) * buckets;
    return {quint64(product >> 64), quint64(product) >> (64 - ZoneIndex::FingerprintBits)};
}

void copyText(char* target, size_t size, const QString& text)
{
    const QByteArray utf8 = text.toUtf8().left(qsizetype(size - 1));
    std::memset(target, 0, size);
    std::memcpy(target, utf8.constData(), size_t(utf8.size()));
}

QString textOf(const char* field, size_t size)
{
    return QString::fromUtf8(field, qsizetype(strnlen(field, size)));
}

QDateTime timeOf(qint64 ms)
{
    return ms == 0 ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

bool readHeader(QFile* file, Header* header, QString* error)
{
    if (file->read(reinterpret_cast<char*>(header), sizeof(Header)) != qint64(sizeof(Header)) ||
        std::memcmp(header->magic, Magic, sizeof(Magic)) != 0 || header->version != Version ||
        header->fingerprintBits != ZoneIndex::FingerprintBits) {
        *error = QStringLiteral("%1 is no zone index of this version.").arg(file->fileName());
        return false;
    }
    const quint64 size = sizeof(Header) + 8 * fingerprintWords(header->names) +
                         8 * directoryWords(header->directoryBits) + sampleBytes(header->samples);
    if (quint64(file->size()) != size || header->directoryBits != header->names + header->buckets) {
        *error = QStringLiteral("%1 is cut short or damaged.").arg(file->fileName());
        return false;
    }
    return true;
}

ZoneInfo infoOf(const Header& header, qint64 fileSize)
{
    ZoneInfo info;
    info.zone = textOf(header.zone, sizeof(header.zone));
    info.names = qint64(header.names);
    info.serial = header.serial;
    info.zoneDate = timeOf(header.zoneDate);
    info.importedAt = timeOf(header.importedAt);
    info.source = textOf(header.source, sizeof(header.source));
    info.fileSize = fileSize;
    return info;
}

} // namespace

bool ZoneIndex::readInfo(const QString& path, ZoneInfo* info, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    Header header;
    if (!readHeader(&file, &header, error))
        return false;
    *info = infoOf(header, file.size());
    return true;
}

bool ZoneIndex::open(const QString& path, QString* error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, m_file.errorString());
        return false;
    }
    Header header;
    if (!readHeader(&m_file, &header, error))
        return false;
    // Mapped, not read: a lookup touches a few pages of a file that may be bigger than the memory.
    const uchar* base = m_file.map(0, m_file.size());
    if (!base) {
        *error = QStringLiteral("%1 cannot be mapped: %2").arg(path, m_file.errorString());
        return false;
    }
    m_info = infoOf(header, m_file.size());
    m_buckets = header.buckets;
    const uchar* at = base + sizeof(Header);
    m_fingerprints = reinterpret_cast<const std::uint64_t*>(at);
    at += 8 * fingerprintWords(header.names);
    m_directory = reinterpret_cast<const std::uint64_t*>(at);
    at += 8 * directoryWords(header.directoryBits);
    m_samples = reinterpret_cast<const std::uint32_t*>(at);
    return true;
}

bool ZoneIndex::contains(QByteArrayView label) const
{
    return containsHash(ZoneHash::of(label));
}

std::uint64_t ZoneIndex::fingerprintAt(std::uint64_t index) const
{
    const std::uint64_t bit = index * FingerprintBits;
    const std::uint64_t word = bit >> 6;
    const unsigned offset = unsigned(bit & 63);
    std::uint64_t value = m_fingerprints[word] >> offset;
    if (offset + FingerprintBits > 64)
        value |= m_fingerprints[word + 1] << (64 - offset);
    return value & ((std::uint64_t(1) << FingerprintBits) - 1);
}

// The position of the 0 of the given rank (from 0) in the directory.
std::uint64_t ZoneIndex::selectZero(std::uint64_t rank) const
{
    const std::uint64_t start = m_samples[rank / SampleEvery];
    std::uint64_t left = rank % SampleEvery;
    std::uint64_t word = start >> 6;
    std::uint64_t zeros = ~m_directory[word] & (~std::uint64_t(0) << (start & 63));
    for (;;) {
        const std::uint64_t count = std::uint64_t(std::popcount(zeros));
        if (left < count)
            break;
        left -= count;
        zeros = ~m_directory[++word];
    }
    for (; left > 0; --left)
        zeros &= zeros - 1;
    return word * 64 + std::uint64_t(std::countr_zero(zeros));
}

bool ZoneIndex::containsHash(std::uint64_t hash) const
{
    if (!isOpen() || m_info.names == 0)
        return false;
    const Place place = placeOf(hash, m_buckets);
    std::uint64_t bit = place.bucket == 0 ? 0 : selectZero(place.bucket - 1) + 1;
    // The names before this bucket are the 1s before it: its position less the buckets closed.
    for (std::uint64_t index = bit - place.bucket; (m_directory[bit >> 6] >> (bit & 63)) & 1;
         ++bit, ++index) {
        const std::uint64_t fingerprint = fingerprintAt(index);
        if (fingerprint >= place.fingerprint)
            return fingerprint == place.fingerprint;
    }
    return false;
}

ZoneIndexWriter::ZoneIndexWriter(QSaveFile* file, std::uint64_t names, const ZoneInfo& info)
    : m_file(file)
    , m_info(info)
    , m_names(names)
    , m_buckets(bucketsFor(names))
{
    m_directory.assign(directoryWords(m_names + m_buckets), 0);
    m_samples.reserve(m_buckets / ZoneIndex::SampleEvery + 1);
    const Header blank{};
    m_failed = m_file->write(reinterpret_cast<const char*>(&blank), sizeof(blank)) != qint64(sizeof(blank));
}

void ZoneIndexWriter::appendBit(bool one)
{
    if (one) {
        m_directory[m_directoryBits >> 6] |= std::uint64_t(1) << (m_directoryBits & 63);
    } else {
        if (m_zeros % ZoneIndex::SampleEvery == 0)
            m_samples.push_back(quint32(m_directoryBits));
        ++m_zeros;
    }
    ++m_directoryBits;
}

void ZoneIndexWriter::add(std::uint64_t hash)
{
    const Place place = placeOf(hash, m_buckets);
    for (; m_bucket < place.bucket; ++m_bucket)
        appendBit(false);
    appendBit(true);
    ++m_added;
    m_word |= place.fingerprint << m_wordBits;
    m_wordBits += ZoneIndex::FingerprintBits;
    if (m_wordBits >= 64) {
        m_pending.push_back(m_word);
        m_wordBits -= 64;
        m_word = m_wordBits > 0 ? place.fingerprint >> (ZoneIndex::FingerprintBits - m_wordBits) : 0;
        if (m_pending.size() >= 8192)
            flushFingerprints();
    }
}

void ZoneIndexWriter::flushFingerprints()
{
    const qint64 bytes = qint64(m_pending.size() * 8);
    if (!m_failed && m_file->write(reinterpret_cast<const char*>(m_pending.data()), bytes) != bytes)
        m_failed = true;
    m_pending.clear();
}

bool ZoneIndexWriter::finish(QString* error)
{
    if (m_added != m_names) {
        *error = QStringLiteral("The index was given %1 names of %2.").arg(m_added).arg(m_names);
        return false;
    }
    for (; m_bucket < m_buckets; ++m_bucket)
        appendBit(false);
    const quint64 full = m_names * ZoneIndex::FingerprintBits / 64;
    if (m_wordBits > 0)
        m_pending.push_back(m_word);
    m_pending.insert(m_pending.end(), fingerprintWords(m_names) - full - (m_wordBits > 0 ? 1 : 0), 0);
    flushFingerprints();
    Header header{};
    std::memcpy(header.magic, Magic, sizeof(Magic));
    header.version = Version;
    header.fingerprintBits = ZoneIndex::FingerprintBits;
    header.names = m_names;
    header.buckets = m_buckets;
    header.directoryBits = m_directoryBits;
    header.samples = m_samples.size();
    header.serial = m_info.serial;
    header.zoneDate = m_info.zoneDate.isValid() ? m_info.zoneDate.toMSecsSinceEpoch() : 0;
    header.importedAt = m_info.importedAt.isValid() ? m_info.importedAt.toMSecsSinceEpoch() : 0;
    copyText(header.zone, sizeof(header.zone), m_info.zone);
    copyText(header.source, sizeof(header.source), m_info.source);
    m_samples.resize(sampleBytes(m_samples.size()) / 4, 0);
    const auto write = [this](const void* data, size_t bytes) {
        m_failed = m_failed || m_file->write(static_cast<const char*>(data), qint64(bytes)) != qint64(bytes);
    };
    write(m_directory.data(), m_directory.size() * 8);
    write(m_samples.data(), m_samples.size() * 4);
    m_failed = m_failed || !m_file->seek(0);
    write(&header, sizeof(header));
    if (m_failed)
        *error = QStringLiteral("%1 cannot be written: %2").arg(m_file->fileName(), m_file->errorString());
    return !m_failed;
}

} // namespace brisquel
