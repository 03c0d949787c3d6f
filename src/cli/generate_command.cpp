#include "generate_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/command_options.h"
#include "search_command.h"
#include "sources/name_generator.h"
#include "support/data_folder.h"
#include "support/settings_store.h"

#include <QFileInfo>
#include <cstdio>

namespace brisquel {

namespace {

// The generator's rule from the options, and where they say nothing, from the window's settings.
GeneratorOptions ruleOf(const GenerateOptions& options, const SettingsStore& settings)
{
    GeneratorOptions rule;
    rule.baseWord = options.baseWord.value_or(settings.value(SettingKeys::generatorBaseWord()));
    const std::array<bool, 3> forms = options.forms.value_or(std::array<bool, 3>{
        settings.flag(SettingKeys::generatorForm(0)), settings.flag(SettingKeys::generatorForm(1)),
        settings.flag(SettingKeys::generatorForm(2))});
    rule.prefixes = forms[0];
    rule.suffixes = forms[1];
    rule.hyphens = forms[2];
    if (options.extensions) {
        rule.extensions = *options.extensions;
    } else {
        std::array<bool, GeneratorExtensionCount> checked{};
        for (int i = 0; i < GeneratorExtensionCount; ++i)
            checked[size_t(i)] = settings.flag(SettingKeys::generatorExtension(i));
        rule.extensions =
            GeneratorOptions::boxExtensions(checked, settings.value(SettingKeys::generatorCustomExtension()));
    }
    return rule;
}

// The prefix/suffix words: the given file, or Appends.txt (made with the starter words when it is
// missing). Empty, after saying why, when there are none to use.
QStringList wordsOf(const GenerateOptions& options, const DataFolder& folder)
{
    AppendsFile words(options.wordsFile.value_or(folder.path(QStringLiteral("Appends.txt"))));
    if (!options.wordsFile && words.ensureExists())
        printError(QStringLiteral("%1 was missing; it now holds the starter words.").arg(words.path()));
    if (!QFileInfo(words.path()).isFile()) {
        printError(QStringLiteral("the word file %1 does not exist").arg(words.path()));
        return {};
    }
    QString error;
    const QStringList read = words.words(&error);
    if (!error.isEmpty())
        printError(error);
    else if (read.isEmpty())
        printError(QStringLiteral("Add a word to the Prefixes/Suffixes list first."));
    return error.isEmpty() ? read : QStringList();
}

ExitCode printNames(const QStringList& names)
{
    StandardOutput output;
    for (const QString& name : names) {
        if (!output.print(name.toUtf8() + '\n'))
            return output.reportFailure();
    }
    return ExitCode::Success;
}

} // namespace

ExitCode runGenerateCommand(const QStringList& arguments)
{
    const ParsedOptions<GenerateOptions> parsed = parseGenerateOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    const GenerateOptions& options = *parsed.options;
    const DataFolder folder(DataFolder::resolveRoot(arguments));
    QString error;
    if (!folder.ensureRoot(&error)) {
        printError(error);
        return ExitCode::Failure;
    }
    const SettingsStore settings(folder.settingsPath(), DataFolder::defaultUserSettingsPath());
    GeneratorOptions rule = ruleOf(options, settings);
    rule.words = wordsOf(options, folder);
    if (rule.words.isEmpty())
        return ExitCode::Failure;

    const QStringList names = generateNames(rule);
    QString out = options.outFile;
    if (out.isEmpty() && options.search)
        out = folder.path(QStringLiteral("CreatedDomains.txt"));
    if (out.isEmpty())
        return printNames(names);
    if (!writeCreatedDomains(out, names, &error)) {
        printError(error);
        return ExitCode::Failure;
    }
    std::fprintf(stderr, "Created %lld names in %s.\n", static_cast<long long>(names.size()),
                 qPrintable(out));
    if (!options.search)
        return ExitCode::Success;
    return runSearchCommand({QStringLiteral("search"), QStringLiteral("--list"),
                             QFileInfo(out).absoluteFilePath(), QStringLiteral("--start"),
                             QStringLiteral("1"), QStringLiteral("--home"), folder.root()});
}

} // namespace brisquel
