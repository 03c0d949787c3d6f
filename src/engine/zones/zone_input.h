#pragma once

#include <QFile>
#include <QString>
#include <memory>
#include <vector>

namespace brisquel {

// A zone file read in blocks, inflated on the way when it is gzip-compressed (as CZDS delivers
// them); several gzip members one after another read as one file.
class ZoneInput
{
public:
    ZoneInput();
    ~ZoneInput();

    bool open(const QString& path, QString* error);
    bool isCompressed() const { return m_inflater != nullptr; }
    // Up to `size` bytes of the zone's text; 0 at the end, -1 on an error (errorString()).
    qint64 read(char* data, qint64 size);
    QString errorString() const { return m_error; }

private:
    struct Inflater;
    qint64 inflate(char* data, qint64 size);
    bool refill();

    QFile m_file;
    std::unique_ptr<Inflater> m_inflater;
    std::vector<char> m_raw;
    QString m_error;
    bool m_rawEnd = false;
};

} // namespace brisquel
