#pragma once

#include <QByteArray>
#include <QString>

namespace brisquel {

// The DNS wire format as far as the pre-check reads it: an NS question and what its reply says.
constexpr int DnsTypeNs = 2;
constexpr int DnsClassIn = 1;

// What a reply says about the name asked.
struct DnsReply
{
    static constexpr int NoError = 0;
    static constexpr int NxDomain = 3;

    bool received = false;   // the resolver sent something back
    bool wellFormed = false; // every record could be read and the question is the one asked
    int rcode = -1;
    int answerRecords = 0;
    bool delegated = false;

    // The zone answered that nobody holds the name: "no such name", or "no data" without a delegation.
    bool saysNobodyHolds() const
    {
        return wellFormed && !delegated && answerRecords == 0 && (rcode == NxDomain || rcode == NoError);
    }
};

// A name counts as delegated when the reply is NOERROR and holds an NS record owned by the name
// itself: in the answer section (what recursive resolvers send), or, when the server is not
// authoritative and the answer section is empty, in the authority section (a referral from the
// parent zone's server, for a resolver that is one). NS records of a CNAME's target, or of a
// parent zone next to an SOA, are not the name's delegation. `name` in lower case, without the
// trailing dot.
DnsReply parseDnsReply(const unsigned char* buffer, int length, const QByteArray& name);

// The name as it is asked: lower case without the trailing dot; empty when it is not a host name.
QByteArray dnsQueryName(const QString& aceName);

// The zone the name sits in, where a wildcard would answer for it: all but its first label, so
// "co.uk" for "shop.co.uk" and "com" for "shop.com".
QString dnsZoneOf(const QByteArray& name);

} // namespace brisquel
