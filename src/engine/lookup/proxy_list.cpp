#include "proxy_list.h"

#include "support/file_helpers.h"

#include <QRegularExpression>
#include <QUrl>

namespace brisquel {

QString ProxyEntry::displayName() const
{
    const QString scheme =
        type == QNetworkProxy::HttpProxy ? QStringLiteral("http") : QStringLiteral("socks5");
    const QString who = user.isEmpty() ? QString() : user + QStringLiteral(":***@");
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1://%2%3:%4").arg(scheme, who, shownHost).arg(port);
}

QNetworkProxy ProxyEntry::networkProxy() const
{
    QNetworkProxy proxy(type, host, port, user, password);
    // The registry's name goes to the proxy unresolved, so lookups do not depend on local DNS.
    proxy.setCapabilities(proxy.capabilities() | QNetworkProxy::HostNameLookupCapability);
    return proxy;
}

bool ProxyEntry::parse(const QString& text, ProxyEntry* entry, QString* error)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    ProxyEntry parsed;
    if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h"))
        parsed.type = QNetworkProxy::Socks5Proxy;
    else if (scheme == QLatin1String("http"))
        parsed.type = QNetworkProxy::HttpProxy;
    else {
        *error = QStringLiteral("not socks5://HOST:PORT or http://HOST:PORT");
        return false;
    }
    if (!url.isValid() || url.host().isEmpty()) {
        *error = QStringLiteral("no host");
        return false;
    }
    if (url.port() <= 0) {
        *error = QStringLiteral("no port");
        return false;
    }
    if (!url.path().isEmpty() && url.path() != QLatin1String("/")) {
        *error = QStringLiteral("a proxy has no path");
        return false;
    }
    if (parsed.type == QNetworkProxy::HttpProxy && !url.userName().isEmpty()) {
        *error = QStringLiteral("user names are for SOCKS5 proxies");
        return false;
    }
    parsed.host = url.host();
    parsed.port = quint16(url.port());
    parsed.user = url.userName(QUrl::FullyDecoded);
    parsed.password = url.password(QUrl::FullyDecoded);
    *entry = parsed;
    return true;
}

QString proxyFailure(const QString& why)
{
    return QStringLiteral("proxy failed: %1").arg(why);
}

ProxyList ProxyList::fromText(const QString& text, const QString& source)
{
    ProxyList list;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineBreak);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        ProxyEntry entry;
        QString error;
        if (ProxyEntry::parse(line, &entry, &error))
            list.proxies.append(entry);
        else
            list.problems.append(
                QStringLiteral("%1, line %2: %3; skipped").arg(source).arg(n + 1).arg(error));
    }
    return list;
}

ProxyList ProxyList::load(const QString& path, QString* error)
{
    const std::optional<QByteArray> bytes = readWhole(path, MaxFileBytes, error);
    if (!bytes)
        return {};
    return fromText(QString::fromUtf8(*bytes), path);
}

ProxyList ProxyList::loadForUse(const QString& path, QStringList* problems)
{
    QString error;
    const ProxyList list = load(path, &error);
    if (!error.isEmpty())
        problems->append(error + QStringLiteral("; lookups go straight to the servers."));
    *problems += list.problems;
    if (error.isEmpty() && list.isEmpty())
        problems->append(
            QStringLiteral("%1 lists no proxies; lookups go straight to the servers.").arg(path));
    return list;
}

} // namespace brisquel
