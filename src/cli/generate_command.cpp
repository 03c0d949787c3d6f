#include "generate_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "search_command.h"
#include "sources/name_generator.h"
#include "support/data_folder.h"
#include "support/settings_store.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

namespace brisquel {

namespace {

QStringList listOf(const QString& text)
{
    QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return items;
}

} // namespace

int runGenerateCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes domain names from a base word and prefix/suffix words, as the Domain Name "
                       "Creator window does.\nDefaults come from the window's settings and the data "
                       "folder's Appends.txt.\n\nExit status: 0 done, 1 a file could not be read or "
                       "written, 2 bad arguments, 3 standard output could not be written, 141 standard "
                       "output was closed; with --search, that of the search."));
    parser.addHelpOption();
    const QCommandLineOption baseOption(QStringLiteral("base"), QStringLiteral("Base word."),
                                        QStringLiteral("WORD"));
    const QCommandLineOption wordsOption(
        QStringLiteral("words"), QStringLiteral("Prefix/suffix words, one a line (default: Appends.txt)."),
        QStringLiteral("FILE"));
    const QCommandLineOption formsOption(
        QStringLiteral("forms"), QStringLiteral("Combinations: prefix, suffix, hyphen (comma-separated)."),
        QStringLiteral("LIST"));
    const QCommandLineOption extOption(QStringLiteral("ext"), QStringLiteral("Extensions, e.g. .com,.net."),
                                       QStringLiteral("LIST"));
    const QCommandLineOption outOption(
        QStringLiteral("out"),
        QStringLiteral("Write the names to this file (every name followed by an "
                       "empty line) instead of printing them."),
        QStringLiteral("FILE"));
    const QCommandLineOption searchOption(
        QStringLiteral("search"),
        QStringLiteral("Search the names (written to --out, or to CreatedDomains.txt in the data folder)."));
    parser.addOptions(
        {baseOption, wordsOption, formsOption, extOption, outOption, searchOption, homeOption()});
    if (const std::optional<int> status =
            parseCommand(parser, arguments, QStringLiteral("brisquel-cli generate [options]")))
        return *status;
    if (!noStrayArguments(parser))
        return 2;

    const DataFolder folder(DataFolder::resolveRoot(arguments));
    QString error;
    if (!folder.ensureRoot(&error)) {
        printError(error);
        return 1;
    }
    SettingsStore settings(folder.settingsPath(), DataFolder::defaultUserSettingsPath());

    GeneratorOptions options;
    options.baseWord =
        parser.isSet(baseOption) ? parser.value(baseOption) : settings.value(SettingKeys::txtMake());
    if (parser.isSet(formsOption)) {
        const QStringList forms = listOf(parser.value(formsOption).toLower());
        for (const QString& form : forms) {
            if (form != QLatin1String("prefix") && form != QLatin1String("suffix") &&
                form != QLatin1String("hyphen")) {
                printError(QStringLiteral("unknown form \"%1\" (use prefix, suffix, hyphen)").arg(form));
                return 2;
            }
        }
        options.prefixes = forms.contains(QStringLiteral("prefix"));
        options.suffixes = forms.contains(QStringLiteral("suffix"));
        options.hyphens = forms.contains(QStringLiteral("hyphen"));
    } else {
        options.prefixes = settings.flag(SettingKeys::chkAdd(0));
        options.suffixes = settings.flag(SettingKeys::chkAdd(1));
        options.hyphens = settings.flag(SettingKeys::chkAdd(2));
    }
    if (parser.isSet(extOption)) {
        options.extensions = listOf(parser.value(extOption).toLower());
    } else {
        std::array<bool, GeneratorExtensionCount> checked{};
        for (int i = 0; i < GeneratorExtensionCount; ++i)
            checked[size_t(i)] = settings.flag(SettingKeys::chkExt(i));
        options.extensions =
            GeneratorOptions::boxExtensions(checked, settings.value(SettingKeys::txtCustom()));
    }

    AppendsFile words(parser.isSet(wordsOption) ? parser.value(wordsOption)
                                                : folder.path(QStringLiteral("Appends.txt")));
    if (!parser.isSet(wordsOption) && words.ensureExists())
        printError(QStringLiteral("%1 was missing; it now holds the starter words.").arg(words.path()));
    if (!QFileInfo(words.path()).isFile()) {
        printError(QStringLiteral("the word file %1 does not exist").arg(words.path()));
        return 1;
    }
    options.words = words.words(&error);
    if (!error.isEmpty()) {
        printError(error);
        return 1;
    }
    if (options.words.isEmpty()) {
        printError(QStringLiteral("Add a word to the Prefixes/Suffixes list first."));
        return 1;
    }

    const QStringList names = generateNames(options);
    QString out = parser.value(outOption);
    if (out.isEmpty() && parser.isSet(searchOption))
        out = folder.path(QStringLiteral("CreatedDomains.txt"));
    if (out.isEmpty()) {
        StandardOutput output;
        for (const QString& name : names) {
            if (!output.print(name.toUtf8() + '\n'))
                return output.reportFailure();
        }
        return 0;
    }
    if (!writeCreatedDomains(out, names, &error)) {
        printError(error);
        return 1;
    }
    std::fprintf(stderr, "Created %lld names in %s.\n", static_cast<long long>(names.size()),
                 qPrintable(out));
    if (!parser.isSet(searchOption))
        return 0;
    return runSearchCommand({QStringLiteral("search"), QStringLiteral("--list"),
                             QFileInfo(out).absoluteFilePath(), QStringLiteral("--start"),
                             QStringLiteral("1"), QStringLiteral("--home"), folder.root()});
}

} // namespace brisquel
