// Feeds arbitrary bytes to the readers of the data folder's files (the answer rules have a target
// of their own): the server limits, registrars.txt, settings.ini, the proxies file and the RDAP
// bootstrap. The first byte picks the file.

#include "engine/lookup/proxy_list.h"
#include "fuzz_support.h"
#include "support/settings_store.h"
#include "whois_config/extension_table.h"
#include "whois_config/rdap_bootstrap.h"
#include "whois_config/registrars_file.h"
#include "whois_config/server_limits.h"

#include <QUrl>

using namespace brisquel;

namespace {

// The text with every line end made `end`.
QByteArray withLineEnds(const QByteArray& text, const char* end)
{
    return QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').replace("\n", end);
}

const QString Servers[] = {QStringLiteral("whois.a.example"), QStringLiteral("whois.kr"), QString()};

ServerLimitsTable limitsOf(const QByteArray& text)
{
    ServerLimitsTable table;
    QList<ServerLimitsTable::Problem> problems;
    table.load(ServerLimitsTable::shippedText(), QStringLiteral("delivered"));
    table.load(text, QStringLiteral("server-limits.txt"), &problems);
    return table;
}

void serverLimits(const QByteArray& text)
{
    const ServerLimitsTable table = limitsOf(text);
    // Line ends never change what a line says.
    const ServerLimitsTable crOnly = limitsOf(withLineEnds(text, "\r"));
    for (const QString& server : Servers) {
        const ServerLimits limits = table.limitsFor(server);
        FUZZ_REQUIRE(limits.perSecond >= 0 && limits.burst >= 1 && limits.connections >= 1 &&
                     limits.daily >= 0);
        (void)ServerLimitsTable::describe(limits);
        FUZZ_REQUIRE(table.textFor(server) == crOnly.textFor(server));
    }
}

void registrars(const QByteArray& text)
{
    const RegistrarsFile file(fuzz::scratchFile(QStringLiteral("registrars.txt"), text));
    ExtensionTable table;
    QList<RegistrarsProblem> problems;
    QString error;
    (void)file.loadExtensionTable(&table, &problems, &error);
    for (const ExtensionRow& row : table.rows())
        FUZZ_REQUIRE(row.port >= 1 && row.port <= 65535);
    (void)file.fillExtensionList(&problems, &error);
}

void settings(const QByteArray& text)
{
    const QString path = fuzz::scratchFile(QStringLiteral("settings.ini"), text);
    SettingsStore store(path, fuzz::scratchFile(QStringLiteral("user.ini"), text.left(text.size() / 2)));
    (void)store.loadProblem();
    for (const SettingKey& key :
         {SettingKeys::fullWordsPosition(), SettingKeys::dnsServer(), SettingKeys::checkDnsFirst(),
          SettingKeys::deadServerMinutes(), SettingKeys::historyDays()}) {
        (void)store.value(key);
        (void)store.count(key);
        (void)store.flag(key);
    }
}

void proxies(const QByteArray& text)
{
    const ProxyList list = ProxyList::fromText(QString::fromUtf8(text), QStringLiteral("proxies.txt"));
    const ProxyList crOnly =
        ProxyList::fromText(QString::fromUtf8(withLineEnds(text, "\r")), QStringLiteral("proxies.txt"));
    FUZZ_REQUIRE(crOnly.proxies.size() == list.proxies.size() && crOnly.problems == list.problems);
    for (const ProxyEntry& proxy : list.proxies) {
        FUZZ_REQUIRE(proxy.port != 0 && !proxy.host.isEmpty());
        // The password never shows in text meant for people.
        ProxyEntry other = proxy;
        other.password = QStringLiteral("other");
        FUZZ_REQUIRE(other.displayName() == proxy.displayName());
    }
}

void rdapBootstrap(const QByteArray& text)
{
    RdapBootstrap bootstrap;
    QString error;
    if (!bootstrap.load(text, &error))
        return;
    for (const char* name : {"a.example", "example", "com", "xn--p1ai", ""}) {
        const QUrl base = bootstrap.baseFor(QString::fromLatin1(name));
        // Only a base that a row of the user's own could name: https, or plain http to this computer.
        FUZZ_REQUIRE(!base.isValid() || rdapBaseUrl(base.toString()).isValid());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    using Reader = void (*)(const QByteArray&);
    static const Reader readers[] = {serverLimits, registrars, settings, proxies, rdapBootstrap};
    readers[data[0] % std::size(readers)](fuzz::bytes(data + 1, size - 1));
    return 0;
}
