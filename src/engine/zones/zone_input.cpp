#include "zone_input.h"

#include <zlib.h>

namespace brisquel {

namespace {
constexpr qint64 RawBlock = 1 << 20;
}

struct ZoneInput::Inflater
{
    z_stream stream{};
    bool finished = false;  // the last member ended and nothing followed
    bool memberOpen = true; // inside a member: the file must not end here
    ~Inflater() { inflateEnd(&stream); }
};

ZoneInput::ZoneInput() = default;
ZoneInput::~ZoneInput() = default;

bool ZoneInput::open(const QString& path, QString* error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 cannot be read: %2").arg(path, m_file.errorString());
        return false;
    }
    char magic[2] = {};
    const bool gzip = m_file.peek(magic, 2) == 2 && uchar(magic[0]) == 0x1f && uchar(magic[1]) == 0x8b;
    if (!gzip)
        return true;
    m_inflater = std::make_unique<Inflater>();
    // 15 + 16: a gzip wrapper, the largest window.
    if (inflateInit2(&m_inflater->stream, 15 + 16) != Z_OK) {
        *error = QStringLiteral("%1: the inflater could not start.").arg(path);
        return false;
    }
    m_raw.resize(RawBlock);
    return true;
}

qint64 ZoneInput::read(char* data, qint64 size)
{
    if (!m_inflater) {
        const qint64 got = m_file.read(data, size);
        if (got < 0)
            m_error = m_file.errorString();
        return got;
    }
    return inflate(data, size);
}

bool ZoneInput::refill()
{
    const qint64 got = m_file.read(m_raw.data(), qint64(m_raw.size()));
    if (got < 0) {
        m_error = m_file.errorString();
        return false;
    }
    m_rawEnd = got == 0;
    m_inflater->stream.next_in = reinterpret_cast<Bytef*>(m_raw.data());
    m_inflater->stream.avail_in = uInt(got);
    return true;
}

qint64 ZoneInput::inflate(char* data, qint64 size)
{
    z_stream& stream = m_inflater->stream;
    stream.next_out = reinterpret_cast<Bytef*>(data);
    stream.avail_out = uInt(std::min<qint64>(size, 1 << 30));
    while (stream.avail_out > 0 && !m_inflater->finished) {
        if (stream.avail_in == 0 && !m_rawEnd && !refill())
            return -1;
        if (stream.avail_in == 0 && m_rawEnd) {
            if (m_inflater->memberOpen && stream.next_out == reinterpret_cast<Bytef*>(data)) {
                m_error = QStringLiteral("the compressed file is cut short");
                return -1;
            }
            break;
        }
        const int result = ::inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            // Another member may follow; only the end of the file ends the text.
            if (stream.avail_in == 0 && !refill())
                return -1;
            m_inflater->memberOpen = stream.avail_in > 0;
            m_inflater->finished = stream.avail_in == 0;
            if (m_inflater->memberOpen)
                inflateReset(&stream);
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            m_error = QStringLiteral("the compressed data is damaged (%1)")
                          .arg(QString::fromLatin1(stream.msg ? stream.msg : "inflate failed"));
            return -1;
        }
    }
    return qint64(reinterpret_cast<char*>(stream.next_out) - data);
}

} // namespace brisquel
