#include "dns_wire.h"

#include <ares.h>
#include <utility>

namespace brisquel {

namespace {

constexpr int HeaderSize = 12;
constexpr int RecordFixedSize = 10; // type, class, TTL, data length
constexpr int FlagResponse = 0x8000;
constexpr int FlagAuthoritative = 0x0400;
constexpr int MaxNameLength = 253;
constexpr int MaxLabelLength = 63;

int read16(const unsigned char* at)
{
    return (at[0] << 8) | at[1];
}

// Reads the (possibly compressed) name at *pos, in lower case; c-ares follows the pointers and
// refuses loops and names that run past the end.
bool readName(const unsigned char* buffer, int length, int* pos, QByteArray* name)
{
    if (*pos >= length)
        return false;
    char* text = nullptr;
    long used = 0;
    if (ares_expand_name(buffer + *pos, buffer, length, &text, &used) != ARES_SUCCESS)
        return false;
    *name = QByteArray(text).toLower();
    ares_free_string(text);
    if (used <= 0 || used > length - *pos)
        return false;
    *pos += int(used);
    return true;
}

} // namespace

DnsReply parseDnsReply(const unsigned char* buffer, int length, const QByteArray& name)
{
    DnsReply reply;
    reply.received = true;
    if (length < HeaderSize)
        return reply;
    const int flags = read16(buffer + 2);
    const int questions = read16(buffer + 4);
    const int answers = read16(buffer + 6);
    const int authorities = read16(buffer + 8);
    reply.rcode = flags & 0x0f;
    reply.answerRecords = answers;
    if (!(flags & FlagResponse) || questions != 1)
        return reply;
    int pos = HeaderSize;
    QByteArray owner;
    if (!readName(buffer, length, &pos, &owner) || owner != name || length - pos < 4)
        return reply;
    pos += 4;
    bool nsInAnswer = false;
    bool nsInAuthority = false;
    for (int i = 0; i < answers + authorities; ++i) {
        if (!readName(buffer, length, &pos, &owner) || length - pos < RecordFixedSize)
            return reply;
        const int type = read16(buffer + pos);
        const int recordClass = read16(buffer + pos + 2);
        const int dataLength = read16(buffer + pos + 8);
        pos += RecordFixedSize;
        if (dataLength > length - pos)
            return reply;
        pos += dataLength;
        if (type == DnsTypeNs && recordClass == DnsClassIn && owner == name)
            (i < answers ? nsInAnswer : nsInAuthority) = true;
    }
    reply.wellFormed = true;
    reply.delegated = reply.rcode == DnsReply::NoError &&
                      (nsInAnswer || (answers == 0 && !(flags & FlagAuthoritative) && nsInAuthority));
    return reply;
}

QByteArray dnsQueryName(const QString& aceName)
{
    QStringView text(aceName);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty() || text.size() > MaxNameLength)
        return {};
    QByteArray name = text.toLatin1().toLower();
    int label = 0;
    for (const char c : std::as_const(name)) {
        if (c == '.') {
            if (label == 0)
                return {};
            label = 0;
            continue;
        }
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!allowed || ++label > MaxLabelLength)
            return {};
    }
    return label == 0 ? QByteArray() : name;
}

QString dnsZoneOf(const QByteArray& name)
{
    return QString::fromLatin1(name.mid(name.indexOf('.') + 1));
}

} // namespace brisquel
