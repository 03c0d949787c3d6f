#pragma once

#include "engine/dispatch/lookup_router.h"
#include "engine/lookup/proxy_list.h"
#include "engine/judging/verdict.h"
#include "sources/search_type.h"

#include <QCommandLineOption>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace brisquel {

// What a command's arguments came to, without touching files or settings: the options to run
// with, or the help text asked for, or what is wrong with them.
template <typename Options>
struct ParsedOptions
{
    std::optional<Options> options;
    QString help;
    QString error;
};

enum class OutputFormat
{
    Text,
    Csv,
    JsonLines, // "jsonl" (or "json", its first name): one JSON object a line, as they come
    JsonArray  // "json-array": the same objects as one JSON array
};

struct SearchOptions
{
    std::optional<SearchType> type; // --type; the list file is then the type's own
    QString listFile;               // --list, absolute
    QString start;                  // --start, a whole number of 1 or more; empty: the resume position
    OutputFormat format = OutputFormat::Text;
    std::optional<ServerOverride> proxy; // the WHOIS server every lookup goes to
    std::optional<ProxyEntry> socks;     // --socks: every lookup through this network proxy
    QString socksPasswordFile;           // --socks-password-file: the password of its user
    QString proxyListFile;               // --proxy-list, absolute: through these, taking turns
    bool preferRdap = false;
    bool confirmFree = true;
    bool recheck = false; // names the history found taken are asked too
    bool history = true;  // recorded in, and settled from, the history
    bool zones = true;    // names in an imported zone file are settled from it
    enum class Dns
    {
        AsSet, // as the settings say
        Off,
        Server
    } dns = Dns::AsSet;
    QString dnsServer;
};

struct GenerateOptions
{
    std::optional<QString> baseWord;
    std::optional<QString> wordsFile;
    std::optional<std::array<bool, 3>> forms; // prefix, suffix, hyphen
    std::optional<QStringList> extensions;
    QString outFile;
    bool search = false;
};

struct VerdictOptions
{
    QString server; // empty: the generic rules
    QStringList files;
    QString name; // the name the answers are about, when known
};

struct WatchOptions
{
    OutputFormat format = OutputFormat::Text;
    std::optional<ServerOverride> proxy; // the WHOIS server every lookup goes to
    SearchOptions::Dns dns = SearchOptions::Dns::AsSet;
    QString dnsServer;
};

struct HistoryOptions
{
    QString namePattern; // --name: '*' and '?' as wildcards, else a part of the name
    std::optional<Verdict> verdict;
    QDateTime since; // invalid: from the first check on
    OutputFormat format = OutputFormat::Text;
};

// The options each command takes, for its parser and for the usage of brisquel-cli.
QList<QCommandLineOption> searchCommandOptions();
QList<QCommandLineOption> generateCommandOptions();
QList<QCommandLineOption> verdictCommandOptions();
QList<QCommandLineOption> watchCommandOptions();
QList<QCommandLineOption> historyCommandOptions();

ParsedOptions<SearchOptions> parseSearchOptions(const QStringList& arguments);
ParsedOptions<GenerateOptions> parseGenerateOptions(const QStringList& arguments);
ParsedOptions<VerdictOptions> parseVerdictOptions(const QStringList& arguments);
ParsedOptions<WatchOptions> parseWatchOptions(const QStringList& arguments);
ParsedOptions<HistoryOptions> parseHistoryOptions(const QStringList& arguments);

// "brisquel-cli" with no command, or with --help: every command with what it does and every option
// it takes.
QString topLevelUsage();
// The commands, as typed.
QStringList commandNames();
// What to say of a command that is none: its name, and the command it is a slip of, if one is close.
QString unknownCommandMessage(const QString& typed);

} // namespace brisquel
