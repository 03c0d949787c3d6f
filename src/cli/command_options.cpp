#include "command_options.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>

namespace brisquel {

namespace {

const char SearchDescription[] =
    "Checks a list of domain names with their registries (WHOIS, RDAP) and prints a verdict a\n"
    "line: free, taken, unanswered or not-registrable.\n\n"
    "Exit status:\n"
    "  0    the search ran; every find and the position were saved\n"
    "  1    the search could not start (data folder, list file)\n"
    "  2    bad arguments (a --start past the end of the list too)\n"
    "  3    a find or the search position could not be saved, or a result could\n"
    "       not be written to standard output; the search stopped (see the\n"
    "       message)\n"
    "  4    names were sent to servers but not one answered (see the message)\n"
    "  130  interrupted (Ctrl-C); the position was saved\n"
    "  141  standard output was closed (the reader of a pipe ended); the\n"
    "       position was saved\n\n"
    "A password in the --socks URL can be read in the process list (ps) until\n"
    "the program has read it and blotted it out; give it instead in\n"
    "BRISQUEL_PROXY_PASSWORD or in a file named by --socks-password-file\n"
    "(socks5://USER@HOST:PORT), or use a proxy list file.\n";

const char VerdictDescription[] =
    "Judges saved WHOIS answers, or saved RDAP replies (JSON), and prints, per file:\n"
    "verdict, file, the rule that decided it, and for a taken name the deletion state and the\n"
    "expiry date read from it (tab-separated; empty when none).\n"
    "The rules are the delivered ones with the data folder's answer-rules.txt and life-cycle.txt\n"
    "over them.";

const char GenerateDescription[] =
    "Makes domain names from a base word and prefix/suffix words, as the Domain Name "
    "Creator window does.\nDefaults come from the window's settings and the data "
    "folder's Appends.txt.\n\nExit status: 0 done, 1 a file could not be read or "
    "written, 2 bad arguments, 3 standard output could not be written, 141 standard "
    "output was closed; with --search, that of the search.";

const char WatchDescription[] =
    "Checks every saved name (Saved Domains) once and prints what changed since its last check:\n"
    "names that came free, started dropping, or whose expiry date moved. Every verdict goes\n"
    "into the history; no result list or file is written and the search position stays.\n\n"
    "Exit status: 0 done, 1 the data folder or the history cannot be used, 2 bad arguments,\n"
    "3 standard output could not be written, 4 not one server answered, 130 interrupted.";

const char HistoryDescription[] =
    "Prints the checks the data folder's history recorded, oldest first: every verdict of every\n"
    "search, with its detail, life cycle and time. It only reads, also while a search runs.\n\n"
    "Exit status: 0 done, 1 no history yet or it could not be read, 2 bad arguments,\n"
    "3 standard output could not be written, 141 standard output was closed.";

QCommandLineOption homeOption()
{
    return QCommandLineOption(QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR"));
}

// A command's parser: its description, --help and its options.
void prepare(QCommandLineParser& parser, const char* description, const QList<QCommandLineOption>& options)
{
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addOptions(options);
}

// Parses `arguments` (the command's name first). False when the command ends here: with its help
// (the usage line naming the command as the user types it; the parser would name the program by
// its path) or with what is wrong, both in `parsed`.
template <typename Options>
bool parse(QCommandLineParser& parser, const QStringList& arguments, const QString& usage,
           ParsedOptions<Options>* parsed, bool takesFiles = false)
{
    if (!parser.parse(arguments)) {
        parsed->error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(0, help.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: ") + usage);
        parsed->help = help;
        return false;
    }
    if (!takesFiles && !parser.positionalArguments().isEmpty()) {
        parsed->error =
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    return true;
}

std::optional<ServerOverride> serverOf(const QString& text)
{
    ServerOverride server;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    server.host = colon >= 0 ? text.left(colon) : text;
    if (colon >= 0) {
        bool ok = false;
        const int port = text.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return std::nullopt;
        server.port = quint16(port);
    }
    if (server.host.isEmpty())
        return std::nullopt;
    return server;
}

QStringList listOf(const QString& text)
{
    QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return items;
}

std::optional<OutputFormat> outputFormatOf(const QString& text)
{
    const QString format = text.trimmed().toLower();
    if (format == QLatin1String("text"))
        return OutputFormat::Text;
    if (format == QLatin1String("csv"))
        return OutputFormat::Csv;
    // "json" was the first name of JSON Lines; scripts still use it.
    if (format == QLatin1String("jsonl") || format == QLatin1String("json"))
        return OutputFormat::JsonLines;
    if (format == QLatin1String("json-array"))
        return OutputFormat::JsonArray;
    return std::nullopt;
}

// The search types a search can run from the command line: those that read a list file.
QList<SearchType> listSearchTypes()
{
    QList<SearchType> types;
    for (const SearchType type : allSearchTypes()) {
        if (!searchTypeListFile(type).isEmpty())
            types.append(type);
    }
    return types;
}

// A search type by its caption as the window shows it, without regard to case or extra blanks.
std::optional<SearchType> listSearchTypeOf(const QString& text)
{
    const QString typed = text.simplified();
    for (const SearchType type : listSearchTypes()) {
        if (searchTypeCaption(type).compare(typed, Qt::CaseInsensitive) == 0)
            return type;
    }
    return std::nullopt;
}

QString listSearchTypeCaptions()
{
    QStringList captions;
    for (const SearchType type : listSearchTypes())
        captions << QLatin1Char('"') + searchTypeCaption(type) + QLatin1Char('"');
    return captions.join(QStringLiteral(", "));
}

// How many single-character edits turn one word into the other.
qsizetype editDistance(const QString& a, const QString& b)
{
    QList<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A day (from its local midnight) or a moment; without a zone it is local time.
QDateTime sinceOf(const QString& text)
{
    // The ISO reading of a day would take the day of a moment too and drop its time.
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (day.isValid())
        return day.startOfDay();
    QString moment = text;
    if (moment.size() > 10 && moment.at(10) == QLatin1Char(' '))
        moment[10] = QLatin1Char('T');
    return QDateTime::fromString(moment, Qt::ISODateWithMs);
}

QCommandLineOption formatOption()
{
    return {QStringLiteral("format"),
            QStringLiteral("Output: text, csv, jsonl (a JSON object a line) or json-array (one JSON array)."),
            QStringLiteral("FORMAT"), QStringLiteral("text")};
}

QCommandLineOption whoisServerOption()
{
    return {QStringLiteral("proxy"), QStringLiteral("Send every lookup to this WHOIS server for this run."),
            QStringLiteral("HOST[:PORT]")};
}

QList<QCommandLineOption> dnsOptions()
{
    return {
        {QStringLiteral("no-dns"), QStringLiteral("Ask every name's registry, without the DNS pre-check.")},
        {QStringLiteral("dns"),
         QStringLiteral(
             "DNS server for the pre-check (default: the system's resolver; turns the pre-check on)."),
         QStringLiteral("SERVER[:PORT]")}};
}

// Each reads its options' values and says what is wrong with them; empty when nothing is.
QString readFormat(const QCommandLineParser& parser, OutputFormat* format)
{
    const QString text = parser.value(QStringLiteral("format"));
    const std::optional<OutputFormat> chosen = outputFormatOf(text);
    if (!chosen)
        return QStringLiteral("unknown format \"%1\" (use text, csv, jsonl or json-array)").arg(text);
    *format = *chosen;
    return {};
}

QString readWhoisServer(const QCommandLineParser& parser, std::optional<ServerOverride>* server)
{
    if (!parser.isSet(QStringLiteral("proxy")))
        return {};
    *server = serverOf(parser.value(QStringLiteral("proxy")));
    return *server ? QString()
                   : QStringLiteral("--proxy needs HOST or HOST:PORT with a port from 1 to 65535");
}

QString readDns(const QCommandLineParser& parser, SearchOptions::Dns* dns, QString* server)
{
    const bool named = parser.isSet(QStringLiteral("dns"));
    const bool off = parser.isSet(QStringLiteral("no-dns"));
    *server = parser.value(QStringLiteral("dns")).trimmed();
    if (named && off)
        return QStringLiteral("give either --dns SERVER or --no-dns");
    if (named && server->isEmpty())
        return QStringLiteral("--dns needs a server address");
    *dns = named ? SearchOptions::Dns::Server : off ? SearchOptions::Dns::Off : SearchOptions::Dns::AsSet;
    return {};
}

// What is wrong with the values of a search's options; empty when nothing is.
QString searchValuesProblem(const QCommandLineParser& parser, SearchOptions* options)
{
    if (QString problem = readFormat(parser, &options->format); !problem.isEmpty())
        return problem;
    if (QString problem = readWhoisServer(parser, &options->proxy); !problem.isEmpty())
        return problem;
    if (parser.isSet(QStringLiteral("socks"))) {
        if (parser.isSet(QStringLiteral("proxy-list")))
            return QStringLiteral("give either --socks URL or --proxy-list FILE");
        ProxyEntry socks;
        QString error;
        // The error never repeats the value: it may hold a password.
        if (!ProxyEntry::parse(parser.value(QStringLiteral("socks")), &socks, &error))
            return QStringLiteral("--socks needs socks5://[USER:PASS@]HOST:PORT or http://HOST:PORT (%1)")
                .arg(error);
        options->socks = socks;
    }
    if (parser.isSet(QStringLiteral("socks-password-file"))) {
        if (!options->socks || options->socks->user.isEmpty())
            return QStringLiteral("--socks-password-file needs --socks socks5://USER@HOST:PORT");
        if (!options->socks->password.isEmpty())
            return QStringLiteral("give the password either in the --socks URL or in --socks-password-file");
        options->socksPasswordFile =
            QFileInfo(parser.value(QStringLiteral("socks-password-file"))).absoluteFilePath();
    }
    if (parser.isSet(QStringLiteral("start"))) {
        // Refused here, before the search writes its list or anything else into the settings.
        const QString start = parser.value(QStringLiteral("start"));
        bool ok = false;
        const qint64 number = start.trimmed().toLongLong(&ok);
        if (!ok || number < 1)
            return QStringLiteral("--start needs a whole number of 1 or more, not \"%1\"").arg(start);
    }
    if (QString problem = readDns(parser, &options->dns, &options->dnsServer); !problem.isEmpty())
        return problem;
    if (parser.isSet(QStringLiteral("list")) == parser.isSet(QStringLiteral("type")))
        return QStringLiteral("give either --list FILE or --type TYPE");
    return {};
}

} // namespace

QList<QCommandLineOption> searchCommandOptions()
{
    return QList<QCommandLineOption>{
               {QStringLiteral("list"), QStringLiteral("List file to search (a custom list)."),
                QStringLiteral("FILE")},
               {QStringLiteral("type"),
                QStringLiteral("Search type, as the window names it: %1.").arg(listSearchTypeCaptions()),
                QStringLiteral("TYPE")},
               {QStringLiteral("start"),
                QStringLiteral("Entry number to start at, up to the list's last (default: resume position)."),
                QStringLiteral("N")},
               whoisServerOption(),
               {QStringLiteral("socks"),
                QStringLiteral("Send every lookup through this network proxy (SOCKS5 or HTTP CONNECT). "
                               "Its password is best left out of the URL (see below)."),
                QStringLiteral("URL")},
               {QStringLiteral("socks-password-file"),
                QStringLiteral("The password of the --socks URL's user: the first line of this file."),
                QStringLiteral("FILE")},
               {QStringLiteral("proxy-list"),
                QStringLiteral(
                    "Send the lookups through the proxies of this file, taking turns (like proxies.txt)."),
                QStringLiteral("FILE")},
               homeOption(),
               formatOption(),
               {QStringLiteral("rdap"),
                QStringLiteral("Ask over RDAP every extension that rdap-dns.json lists, for this run.")},
               {QStringLiteral("no-confirm"),
                QStringLiteral(
                    "File a name WHOIS calls free without asking its registry's RDAP service again.")},
               {QStringLiteral("recheck"),
                QStringLiteral("Ask every name, also those the history found taken in the last days.")},
               {QStringLiteral("no-history"),
                QStringLiteral("Neither record this search in history.sqlite nor settle names from it.")},
               {QStringLiteral("no-zones"),
                QStringLiteral("Settle no name from the imported zone files in this search.")},
           } +
           dnsOptions();
}

QList<QCommandLineOption> generateCommandOptions()
{
    return {
        {QStringLiteral("base"), QStringLiteral("Base word."), QStringLiteral("WORD")},
        {QStringLiteral("words"), QStringLiteral("Prefix/suffix words, one a line (default: Appends.txt)."),
         QStringLiteral("FILE")},
        {QStringLiteral("forms"), QStringLiteral("Combinations: prefix, suffix, hyphen (comma-separated)."),
         QStringLiteral("LIST")},
        {QStringLiteral("ext"), QStringLiteral("Extensions, e.g. .com,.net."), QStringLiteral("LIST")},
        {QStringLiteral("out"),
         QStringLiteral("Write the names to this file (every name followed by an empty line) instead of "
                        "printing them."),
         QStringLiteral("FILE")},
        {QStringLiteral("search"),
         QStringLiteral("Search the names (written to --out, or to CreatedDomains.txt in the data folder).")},
        homeOption(),
    };
}

QList<QCommandLineOption> verdictCommandOptions()
{
    return {{QStringLiteral("server"), QStringLiteral("WHOIS server whose rules apply (default: generic)."),
             QStringLiteral("HOST")},
            {QStringLiteral("name"),
             QStringLiteral("The name the answers are about: judged as in a search, where no word of the "
                            "name counts."),
             QStringLiteral("NAME")},
            homeOption()};
}

QList<QCommandLineOption> watchCommandOptions()
{
    return QList<QCommandLineOption>{homeOption(), formatOption(), whoisServerOption()} + dnsOptions();
}

ParsedOptions<WatchOptions> parseWatchOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser, WatchDescription, watchCommandOptions());
    ParsedOptions<WatchOptions> parsed;
    if (!parse(parser, arguments, QStringLiteral("brisquel-cli watch [options]"), &parsed))
        return parsed;
    WatchOptions options;
    for (const QString& problem :
         {readFormat(parser, &options.format), readWhoisServer(parser, &options.proxy),
          readDns(parser, &options.dns, &options.dnsServer)}) {
        if (!problem.isEmpty()) {
            parsed.error = problem;
            return parsed;
        }
    }
    parsed.options = options;
    return parsed;
}

QList<QCommandLineOption> historyCommandOptions()
{
    return {
        {QStringLiteral("name"),
         QStringLiteral("Only names like this, without regard to case: * stands for any characters and ? "
                        "for one, and the pattern must match the whole name; without either it may match "
                        "any part of it. Every other character stands for itself."),
         QStringLiteral("PATTERN")},
        {QStringLiteral("verdict"),
         QStringLiteral("Only this verdict: free, taken, unanswered or not-registrable (available and "
                        "registered are free and taken)."),
         QStringLiteral("VERDICT")},
        {QStringLiteral("since"),
         QStringLiteral("Only checks from this day (yyyy-MM-dd) or moment (ISO 8601) on."),
         QStringLiteral("DATE")},
        formatOption(),
        homeOption(),
    };
}

ParsedOptions<SearchOptions> parseSearchOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser, SearchDescription, searchCommandOptions());
    ParsedOptions<SearchOptions> parsed;
    SearchOptions options;
    if (!parse(parser, arguments, QStringLiteral("brisquel-cli search [options]"), &parsed))
        return parsed;
    parsed.error = searchValuesProblem(parser, &options);
    if (!parsed.error.isEmpty())
        return parsed;
    if (parser.isSet(QStringLiteral("type"))) {
        const QString caption = parser.value(QStringLiteral("type"));
        options.type = listSearchTypeOf(caption);
        if (!options.type) {
            parsed.error = QStringLiteral("\"%1\" is not a search type with a list file; the types are %2")
                               .arg(caption, listSearchTypeCaptions());
            return parsed;
        }
    } else {
        options.listFile = QFileInfo(parser.value(QStringLiteral("list"))).absoluteFilePath();
    }
    if (parser.isSet(QStringLiteral("proxy-list")))
        options.proxyListFile = QFileInfo(parser.value(QStringLiteral("proxy-list"))).absoluteFilePath();
    options.start = parser.value(QStringLiteral("start"));
    options.preferRdap = parser.isSet(QStringLiteral("rdap"));
    options.confirmFree = !parser.isSet(QStringLiteral("no-confirm"));
    options.recheck = parser.isSet(QStringLiteral("recheck"));
    options.history = !parser.isSet(QStringLiteral("no-history"));
    options.zones = !parser.isSet(QStringLiteral("no-zones"));
    parsed.options = options;
    return parsed;
}

ParsedOptions<GenerateOptions> parseGenerateOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser, GenerateDescription, generateCommandOptions());
    ParsedOptions<GenerateOptions> parsed;
    if (!parse(parser, arguments, QStringLiteral("brisquel-cli generate [options]"), &parsed))
        return parsed;
    GenerateOptions options;
    const auto given = [&parser](const char* name) -> std::optional<QString> {
        if (!parser.isSet(QLatin1String(name)))
            return std::nullopt;
        return parser.value(QLatin1String(name));
    };
    options.baseWord = given("base");
    options.wordsFile = given("words");
    if (const std::optional<QString> forms = given("forms")) {
        const QStringList chosen = listOf(forms->toLower());
        const QStringList known = {QStringLiteral("prefix"), QStringLiteral("suffix"),
                                   QStringLiteral("hyphen")};
        for (const QString& form : chosen) {
            if (!known.contains(form)) {
                parsed.error = QStringLiteral("unknown form \"%1\" (use prefix, suffix, hyphen)").arg(form);
                return parsed;
            }
        }
        options.forms = {chosen.contains(known.at(0)), chosen.contains(known.at(1)),
                         chosen.contains(known.at(2))};
    }
    if (const std::optional<QString> extensions = given("ext"))
        options.extensions = listOf(extensions->toLower());
    options.outFile = parser.value(QStringLiteral("out"));
    options.search = parser.isSet(QStringLiteral("search"));
    parsed.options = options;
    return parsed;
}

ParsedOptions<VerdictOptions> parseVerdictOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser, VerdictDescription, verdictCommandOptions());
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A saved answer."),
                                 QStringLiteral("FILE..."));
    ParsedOptions<VerdictOptions> parsed;
    if (!parse(parser, arguments, QStringLiteral("brisquel-cli verdict [options] FILE..."), &parsed, true))
        return parsed;
    if (parser.positionalArguments().isEmpty()) {
        parsed.error = QStringLiteral("give one or more files with saved answers");
        return parsed;
    }
    parsed.options = VerdictOptions{parser.value(QStringLiteral("server")), parser.positionalArguments(),
                                    parser.value(QStringLiteral("name"))};
    return parsed;
}

ParsedOptions<HistoryOptions> parseHistoryOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    prepare(parser, HistoryDescription, historyCommandOptions());
    ParsedOptions<HistoryOptions> parsed;
    if (!parse(parser, arguments, QStringLiteral("brisquel-cli history [options]"), &parsed))
        return parsed;
    HistoryOptions options;
    options.namePattern = parser.value(QStringLiteral("name"));
    parsed.error = readFormat(parser, &options.format);
    if (!parsed.error.isEmpty())
        return parsed;
    if (parser.isSet(QStringLiteral("verdict"))) {
        const QString verdict = parser.value(QStringLiteral("verdict"));
        options.verdict = verdictFromWord(verdict);
        if (!options.verdict) {
            parsed.error =
                QStringLiteral("unknown verdict \"%1\" (use free, taken, unanswered or not-registrable)")
                    .arg(verdict);
            return parsed;
        }
    }
    if (parser.isSet(QStringLiteral("since"))) {
        const QString since = parser.value(QStringLiteral("since"));
        options.since = sinceOf(since.trimmed());
        if (!options.since.isValid()) {
            parsed.error =
                QStringLiteral("--since needs a day (2026-12-01) or a moment (2026-12-01T14:30), not \"%1\"")
                    .arg(since);
            return parsed;
        }
    }
    parsed.options = options;
    return parsed;
}

QString topLevelUsage()
{
    return QStringLiteral(
        "Usage: brisquel-cli COMMAND [options]\n"
        "\n"
        "Commands:\n"
        "  search    check a list of domain names with their registries (WHOIS, RDAP)\n"
        "  watch     check the saved names once and print what changed since the last check\n"
        "  history   print the checks the history recorded\n"
        "  drops     list the names about to drop, soonest release first\n"
        "  rank      score a list of names from 0 to 100 for a shortlist, best first\n"
        "  generate  make names from a base word and prefix/suffix words (and search them)\n"
        "  extract   print the domain names found in saved web pages\n"
        "  verdict   judge saved WHOIS answers or RDAP replies and say which rule decided\n"
        "  zones     import zone files, list and remove the imported zones\n"
        "\n"
        "  brisquel-cli search (--list FILE | --type TYPE) [--start N] [--proxy HOST[:PORT]]\n"
        "                      [--socks URL [--socks-password-file FILE] | --proxy-list FILE]\n"
        "                      [--format text|csv|jsonl|json-array] [--rdap] [--no-confirm]\n"
        "                      [--recheck | --no-history] [--no-zones]\n"
        "                      [--dns SERVER[:PORT] | --no-dns] [--home DIR]\n"
        "  brisquel-cli watch [--format text|csv|jsonl|json-array] [--dns SERVER[:PORT] | --no-dns]\n"
        "                     [--proxy HOST[:PORT]] [--home DIR]\n"
        "  brisquel-cli history [--name PATTERN] [--verdict VERDICT] [--since DATE]\n"
        "                       [--format text|csv|jsonl|json-array] [--home DIR]\n"
        "  brisquel-cli drops [--format text|csv|json|json-array] [--within DAYS] [--home DIR]\n"
        "  brisquel-cli rank [--format text|csv|json|json-array] [--home DIR] FILE\n"
        "  brisquel-cli generate [--base WORD] [--words FILE] [--forms prefix,suffix,hyphen]\n"
        "                        [--ext .com,.net,...] [--out FILE] [--search] [--home DIR]\n"
        "  brisquel-cli extract [--browser] [--home DIR] FILE...\n"
        "  brisquel-cli verdict [--server HOST] [--name NAME] [--home DIR] FILE...\n"
        "  brisquel-cli zones import [--tld TLD] [--home DIR] FILE...\n"
        "  brisquel-cli zones list [--format text|csv|json] [--home DIR]\n"
        "  brisquel-cli zones remove [--home DIR] TLD\n"
        "  brisquel-cli --version\n"
        "  brisquel-cli COMMAND --help    what the command does, all its options, its exit status\n");
}

QStringList commandNames()
{
    return {QStringLiteral("search"),   QStringLiteral("watch"),   QStringLiteral("history"),
            QStringLiteral("generate"), QStringLiteral("extract"), QStringLiteral("verdict"),
            QStringLiteral("zones"),    QStringLiteral("drops"),    QStringLiteral("rank")};
}

QString unknownCommandMessage(const QString& typed)
{
    const QString message = typed.startsWith(QLatin1Char('-'))
                                ? QStringLiteral("unknown option '%1'; a command comes first").arg(typed)
                                : QStringLiteral("unknown command '%1'").arg(typed);
    // A slip of a key or two, or a command cut short ("hist").
    QString nearest;
    qsizetype fewest = 3;
    const QString word = typed.toLower();
    for (const QString& command : commandNames()) {
        const qsizetype distance = editDistance(word, command);
        if (distance < fewest || (word.size() >= 3 && command.startsWith(word))) {
            nearest = command;
            fewest = std::min(distance, fewest);
        }
    }
    if (nearest.isEmpty() || typed.startsWith(QLatin1Char('-')))
        return message;
    return message + QStringLiteral("; did you mean '%1'?").arg(nearest);
}

} // namespace brisquel
