#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

namespace brisquel {

// The DNS server the pre-check asks instead of the system's resolvers.
struct ResolverAddress
{
    QHostAddress address;
    int port = 53;

    // "HOST", "HOST:PORT" or "[V6]:PORT" with an IP address for HOST; none, with a message for
    // the user in *error, otherwise.
    static std::optional<ResolverAddress> parse(const QString& text, QString* error);
    // How messages name it: "192.0.2.1", "192.0.2.1:5353", "[::1]:5353" (the port only when not 53).
    static QString text(const QHostAddress& address, int port);
    QString text() const { return text(address, port); }
};

} // namespace brisquel
