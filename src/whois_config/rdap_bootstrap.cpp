#include "rdap_bootstrap.h"

#include "support/failure.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace brisquel {

namespace {

bool isLoopback(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

bool isRdapServer(const QString& server)
{
    return server.contains(QLatin1String("://"));
}

QUrl rdapBaseUrl(const QString& server, QString* error)
{
    QUrl url(server.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || !url.query().isEmpty() || !url.fragment().isEmpty() ||
        !url.userInfo().isEmpty()) {
        fail(error, QStringLiteral("\"%1\" is not an RDAP base URL").arg(server));
        return {};
    }
    if (scheme != QLatin1String("https") && !(scheme == QLatin1String("http") && isLoopback(url.host()))) {
        fail(error, scheme == QLatin1String("http")
                        ? QStringLiteral("RDAP over plain http is only allowed to this computer (%1); use https")
                              .arg(server)
                        : QStringLiteral("\"%1\" is not an https:// RDAP base URL").arg(server));
        return {};
    }
    // Relative paths are resolved against the base, so it has to end in "/".
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

QByteArray RdapBootstrap::shippedText()
{
    QFile file(QStringLiteral(":/data/rdap-dns.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool RdapBootstrap::load(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, QStringLiteral("not JSON (%1 at byte %2)")
                               .arg(parseError.errorString())
                               .arg(parseError.offset));
    const QJsonValue services = document.object().value(QLatin1String("services"));
    if (!services.isArray())
        return fail(error, QStringLiteral("no \"services\" list"));
    QHash<QString, QUrl> bases;
    for (const QJsonValue& service : services.toArray()) {
        const QJsonArray pair = service.toArray();
        if (pair.size() < 2)
            continue;
        // The registry lists https first where it has it; a plain http address of another host
        // is not used at all.
        QUrl base;
        for (const QJsonValue& address : pair.at(1).toArray()) {
            base = rdapBaseUrl(address.toString());
            if (base.isValid())
                break;
        }
        if (!base.isValid())
            continue;
        for (const QJsonValue& extension : pair.at(0).toArray()) {
            const QString key = extension.toString().toLower();
            if (!key.isEmpty() && !bases.contains(key))
                bases.insert(key, base);
        }
    }
    m_bases = std::move(bases);
    m_publication = document.object().value(QLatin1String("publication")).toString();
    return true;
}

QUrl RdapBootstrap::baseFor(const QString& domainOrExtension) const
{
    const QString extension = domainOrExtension.mid(domainOrExtension.lastIndexOf(QLatin1Char('.')) + 1);
    return m_bases.value(extension.toLower());
}

} // namespace brisquel
