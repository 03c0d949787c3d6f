#include "resolver_address.h"

namespace brisquel {

std::optional<ResolverAddress> ResolverAddress::parse(const QString& text, QString* error)
{
    QString host = text;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))) {
            host.clear();
        } else {
            host = text.mid(1, close - 1);
            port = rest.mid(1);
            if (rest == QLatin1String(":"))
                port = QStringLiteral("-");
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        // More than one colon is a bare IPv6 address.
        host = text.section(QLatin1Char(':'), 0, 0);
        port = text.section(QLatin1Char(':'), 1);
        if (port.isEmpty())
            port = QStringLiteral("-");
    }
    ResolverAddress address;
    bool portOk = true;
    if (!port.isEmpty())
        address.port = port.toInt(&portOk);
    if (!address.address.setAddress(host) || host.contains(QLatin1Char('%')) || !portOk || address.port < 1 ||
        address.port > 65535) {
        if (error) {
            *error = QStringLiteral("\"%1\" is not a DNS server: give an IP address, optionally with a port "
                                    "(127.0.0.1:53, [::1]:53).")
                         .arg(text);
        }
        return std::nullopt;
    }
    return address;
}

QString ResolverAddress::text(const QHostAddress& address, int port)
{
    if (port == 53)
        return address.toString();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace brisquel
