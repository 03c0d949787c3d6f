#include "cli/extract_command.h"

#include "cli/exit_code.h"
#include "sources/known_extensions.h"
#include "sources/page_extraction.h"
#include "support/file_helpers.h"

#include <QStringDecoder>

namespace brisquel {

namespace {

// Saved pages are a few megabytes; the limit keeps a device or a huge file from eating memory.
constexpr qint64 MaxPageBytes = 64 * 1024 * 1024;

void printUsage(QTextStream& stream)
{
    stream << "Usage: brisquel-cli extract [--browser] [--home DIR] FILE...\n"
              "Prints the domain names found in saved HTML pages, one a line, each name once.\n\n"
              "Options:\n"
              "  -h, --help  Displays help on commandline options.\n"
              "  --browser   Use the domain browser's rules instead of the search harvester's.\n"
              "  --home DIR  Data folder (its registrars.txt says which extensions are known).\n\n"
              "Exit status: 0 done, 1 bad arguments, 2 a page could not be read (the others are\n"
              "still read), 3 standard output could not be written.\n";
}

bool readPage(const QString& path, QString* text, QString* error)
{
    const std::optional<QByteArray> bytes = readWhole(path, MaxPageBytes, error);
    if (!bytes)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    *text = decoder.decode(*bytes);
    return true;
}

QString withoutTrailingBlanks(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && (name[end - 1] == u' ' || name[end - 1] == u'\t'))
        --end;
    return name.left(end);
}

} // namespace

ExitCode runExtractCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                           const QStringList& enabledExtensions)
{
    bool browserRules = false;
    bool optionsEnded = false;
    QStringList files;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument == QLatin1String("--browser")) {
            browserRules = true;
        } else if (!optionsEnded &&
                   (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            printUsage(out);
            out.flush();
            return out.status() == QTextStream::Ok ? ExitCode::Success : ExitCode::NotWritten;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            err << "extract: unknown option " << argument << '\n';
            printUsage(err);
            return ExitCode::ExtractBadArguments;
        } else {
            files.append(argument);
        }
    }
    if (files.isEmpty()) {
        printUsage(err);
        return ExitCode::ExtractBadArguments;
    }

    const KnownExtensions extensions(enabledExtensions);
    // One text of names over all files, so that a name found in an earlier file is not repeated.
    QString found;
    ExitCode exitCode = ExitCode::Success;
    for (const QString& path : files) {
        QString page;
        QString error;
        if (!readPage(path, &page, &error)) {
            err << "extract: " << error << '\n';
            exitCode = ExitCode::ExtractUnreadablePage;
            continue;
        }
        const QStringList names = browserRules ? scanBrowserPage(page, &found, extensions).names
                                               : extractHarvestNames(page, &found, extensions);
        for (const QString& name : names) {
            out << withoutTrailingBlanks(name) << '\n';
            // A name at a time, so that a full disk or a reader that went away ends the run at once.
            out.flush();
            if (out.status() != QTextStream::Ok) {
                err.flush();
                return ExitCode::NotWritten;
            }
        }
    }
    out.flush();
    err.flush();
    return exitCode;
}

} // namespace brisquel
