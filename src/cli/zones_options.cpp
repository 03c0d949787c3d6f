#include "zones_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace brisquel {

namespace {

const char ZonesDescription[] =
    "Zone files list every delegated name of a registry (ICANN's CZDS hands out one a day per gTLD).\n"
    "A search files a name found in an imported zone younger than ZoneDays (settings.ini, default 3)\n"
    "as taken without asking its registry; the other names are asked as before.\n\n"
    "  import FILE...  read zone files (master-file format, plain or gzip) into the zone's index;\n"
    "                  the zone is --tld, or each file name's first word (com.txt.gz: com)\n"
    "  list            the imported zones: names, serial, date, age, index size\n"
    "  remove TLD      forget an imported zone\n\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad arguments.";

QString zoneWord(const QString& text)
{
    QString zone = text.trimmed().toLower();
    while (zone.startsWith(QLatin1Char('.')))
        zone.remove(0, 1);
    while (zone.endsWith(QLatin1Char('.')))
        zone.chop(1);
    return zone;
}

// Letters, digits, hyphens and dots: a zone's name is also its index's file name.
bool isZoneWord(const QString& zone)
{
    if (zone.isEmpty())
        return false;
    for (const QChar c : zone) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            return false;
    }
    return !zone.contains(QStringLiteral(".."));
}

QString readAction(const QStringList& words, ZonesOptions* options)
{
    const QString action = words.value(0);
    if (action == QLatin1String("import"))
        options->action = ZonesOptions::Action::Import;
    else if (action == QLatin1String("list"))
        options->action = ZonesOptions::Action::List;
    else if (action == QLatin1String("remove"))
        options->action = ZonesOptions::Action::Remove;
    else
        return action.isEmpty()
                   ? QStringLiteral("say what to do: import, list or remove")
                   : QStringLiteral("unknown action \"%1\" (use import, list or remove)").arg(action);
    return {};
}

QString readWords(const QStringList& words, const QCommandLineParser& parser, ZonesOptions* options)
{
    const QStringList rest = words.mid(1);
    switch (options->action) {
    case ZonesOptions::Action::Import:
        if (rest.isEmpty())
            return QStringLiteral("import needs one zone file or more");
        for (const QString& file : rest)
            options->files.append(QFileInfo(file).absoluteFilePath());
        options->tld = zoneWord(parser.value(QStringLiteral("tld")));
        if (parser.isSet(QStringLiteral("tld")) && !isZoneWord(options->tld))
            return QStringLiteral("--tld needs a zone such as com or co.uk");
        return {};
    case ZonesOptions::Action::List:
        return rest.isEmpty() ? QString() : QStringLiteral("unexpected argument \"%1\"").arg(rest.first());
    case ZonesOptions::Action::Remove:
        if (rest.size() != 1 || !isZoneWord(zoneWord(rest.first())))
            return QStringLiteral("remove needs one zone, such as com");
        options->tld = zoneWord(rest.first());
        return {};
    }
    return {};
}

} // namespace

QList<QCommandLineOption> zonesCommandOptions()
{
    return {{QStringLiteral("tld"), QStringLiteral("import: the zone the files hold (com, co.uk)."),
             QStringLiteral("TLD")},
            {QStringLiteral("format"), QStringLiteral("list: text, csv or json."), QStringLiteral("FORMAT"),
             QStringLiteral("text")},
            {QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR")}};
}

ParsedOptions<ZonesOptions> parseZonesOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(ZonesDescription));
    parser.addHelpOption();
    parser.addOptions(zonesCommandOptions());
    ParsedOptions<ZonesOptions> parsed;
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(
            0, help.indexOf(QLatin1Char('\n')),
            QStringLiteral(
                "Usage: brisquel-cli zones (import [--tld TLD] FILE... | list [--format F] | remove TLD)"));
        parsed.help = help;
        return parsed;
    }
    ZonesOptions options;
    const QString format = parser.value(QStringLiteral("format"));
    if (format == QLatin1String("csv"))
        options.format = ZonesOptions::Format::Csv;
    else if (format == QLatin1String("json"))
        options.format = ZonesOptions::Format::Json;
    else if (format != QLatin1String("text"))
        parsed.error = QStringLiteral("unknown format \"%1\" (use text, csv or json)").arg(format);
    const QStringList words = parser.positionalArguments();
    if (parsed.error.isEmpty())
        parsed.error = readAction(words, &options);
    if (parsed.error.isEmpty())
        parsed.error = readWords(words, parser, &options);
    if (parsed.error.isEmpty())
        parsed.options = options;
    return parsed;
}

} // namespace brisquel
