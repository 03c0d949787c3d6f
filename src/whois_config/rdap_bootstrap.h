#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

namespace brisquel {

// Whether a server field of the extension table names an RDAP service rather than a WHOIS host.
bool isRdapServer(const QString& server);

// The base URL of an RDAP server field, ending in "/": https for any host, plain http only for
// this computer (a local test server or proxy), since an answer over plain http could be forged
// on the way. Invalid, with the reason in *error, for anything else.
QUrl rdapBaseUrl(const QString& server, QString* error = nullptr);

// IANA's RDAP bootstrap registry for domain names (dns.json): which extension's registry answers
// RDAP, and where.
class RdapBootstrap
{
public:
    // Far above IANA's file (under 100 KB): a larger one is not read.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    static QByteArray shippedText();

    // False with the reason when the text is not a bootstrap file; the table is then unchanged.
    bool load(const QByteArray& json, QString* error = nullptr);

    QString publication() const { return m_publication; }
    // The usable base URL for the extension (its last label, in ASCII form), or an invalid URL.
    QUrl baseFor(const QString& domainOrExtension) const;

private:
    QHash<QString, QUrl> m_bases;
    QString m_publication;
};

} // namespace brisquel
