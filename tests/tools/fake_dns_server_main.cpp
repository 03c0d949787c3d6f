// Runs FakeDnsServer as a process of its own, for benchmarks and manual tests of DNS clients.
#include "tools/fake_dns_server.h"
#include "tools/tool_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QMetaEnum>
#include <QSaveFile>
#include <cstdio>
#include <optional>

using brisquel::test::FakeDnsServer;

namespace {

void fail(const QString& message)
{
    brisquel::test::printToolError("fake-dns-server", message);
}

bool readNumber(const QCommandLineParser& parser, const QString& option, int maximum, int* value)
{
    return brisquel::test::readNumberOption("fake-dns-server", parser, option, maximum, value);
}

// "no-such-name" or "NoSuchName".
std::optional<FakeDnsServer::Reply> replyFromName(QString name)
{
    name.remove(QLatin1Char('-'));
    const QMetaEnum replies = QMetaEnum::fromType<FakeDnsServer::Reply>();
    for (int i = 0; i < replies.keyCount(); ++i) {
        if (name.compare(QLatin1String(replies.key(i)), Qt::CaseInsensitive) == 0)
            return FakeDnsServer::Reply(replies.value(i));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fake-dns-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "DNS server on 127.0.0.1 (UDP) that answers NS queries like a recursive resolver: the names of\n"
        "--delegated-file are delegated, every other name does not exist. Stop it with a signal."));
    parser.addHelpOption();
    const QString portOption = QStringLiteral("port");
    const QString portFileOption = QStringLiteral("port-file");
    const QString delegatedFileOption = QStringLiteral("delegated-file");
    const QString wildcardOption = QStringLiteral("wildcard");
    const QString defaultOption = QStringLiteral("default");
    const QString delayOption = QStringLiteral("delay");
    const QString silentOption = QStringLiteral("silent");
    const QString dropEveryOption = QStringLiteral("drop-every");
    const QString maxRateOption = QStringLiteral("max-rate");
    const QString quietOption = QStringLiteral("quiet");
    parser.addOptions({
        {portOption, QStringLiteral("Port to listen on; 0 picks a free one."), QStringLiteral("N"),
         QStringLiteral("0")},
        {portFileOption, QStringLiteral("Once listening, write the port and a newline to this file."),
         QStringLiteral("PATH")},
        {delegatedFileOption, QStringLiteral("Names to answer as delegated, one a line."),
         QStringLiteral("PATH")},
        {wildcardOption, QStringLiteral("Answer every name under this extension as delegated."),
         QStringLiteral("EXT")},
        {defaultOption,
         QStringLiteral(
             "Reply for the other names: no-such-name (the default), delegated, no-data, referral, "
             "alias, server-failure, refused, silent."),
         QStringLiteral("REPLY")},
        {delayOption, QStringLiteral("Wait this long before every reply."), QStringLiteral("MS")},
        {silentOption, QStringLiteral("Read every query and answer none.")},
        {dropEveryOption, QStringLiteral("Leave every Nth query unanswered."), QStringLiteral("N")},
        {maxRateOption, QStringLiteral("Answer at most N queries a second; drop the rest."),
         QStringLiteral("N")},
        {quietOption, QStringLiteral("Print nothing on standard output.")},
    });
    parser.process(app);

    FakeDnsServer server;
    server.setRecordQueries(false);
    int port = 0;
    int delay = 0;
    int dropEvery = 0;
    int maxRate = 0;
    if (!readNumber(parser, portOption, 65535, &port) || !readNumber(parser, delayOption, 3600000, &delay) ||
        !readNumber(parser, dropEveryOption, 1000000, &dropEvery) ||
        !readNumber(parser, maxRateOption, 1000000, &maxRate))
        return 2;
    server.setDelayMs(delay);
    server.setDropEvery(dropEvery);
    server.setMaxRate(maxRate);
    server.setSilent(parser.isSet(silentOption));
    if (parser.isSet(defaultOption)) {
        const auto reply = replyFromName(parser.value(defaultOption));
        if (!reply) {
            fail(QStringLiteral("unknown reply \"%1\"").arg(parser.value(defaultOption)));
            return 2;
        }
        server.setDefaultReply(*reply);
    }
    if (parser.isSet(wildcardOption))
        server.setWildcard(parser.value(wildcardOption));
    if (parser.isSet(delegatedFileOption)) {
        QFile file(parser.value(delegatedFileOption));
        if (!file.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot open %1: %2").arg(file.fileName(), file.errorString()));
            return 1;
        }
        while (!file.atEnd()) {
            const QString name = QString::fromLatin1(file.readLine()).trimmed();
            if (!name.isEmpty())
                server.addDelegated(name);
        }
    }

    if (!server.listen(quint16(port))) {
        fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server.errorString()));
        return 1;
    }
    if (parser.isSet(portFileOption)) {
        QSaveFile file(parser.value(portFileOption));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(server.port()) + '\n') < 0 ||
            !file.commit()) {
            fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
            return 1;
        }
    }
    if (!parser.isSet(quietOption)) {
        std::printf("listening on 127.0.0.1:%u\n", server.port());
        std::fflush(stdout);
    }
    return QCoreApplication::exec();
}
