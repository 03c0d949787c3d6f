#include "rank_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/result_writer.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "support/csv_text.h"
#include "support/data_folder.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace brisquel {

namespace {

const char RankDescription[] =
    "Score each name of FILE from 0 to 100 for a shortlist, best first: shorter, without digits or "
    "hyphens, made of dictionary words, pronounceable, and held in other extensions (as the history "
    "knows). settings.ini's [Score] section weighs the parts.\n"
    "Exit status: 0 scored, 1 FILE could not be read, 2 bad arguments.";

constexpr qint64 MaxListBytes = 512 * 1024 * 1024;

struct Ranked
{
    QString name;
    NameScorer::Parts parts;
    int score = 0;
};

QJsonObject jsonOf(const Ranked& ranked)
{
    return {{QStringLiteral("name"), ranked.name},
            {QStringLiteral("score"), ranked.score},
            {QStringLiteral("length"), ranked.parts.length},
            {QStringLiteral("clean"), ranked.parts.clean},
            {QStringLiteral("words"), ranked.parts.words},
            {QStringLiteral("pronounceable"), ranked.parts.pronounceable},
            {QStringLiteral("held"), ranked.parts.held}};
}

QString partsCsv(const NameScorer::Parts& parts)
{
    QStringList fields;
    for (const double part : {parts.length, parts.clean, parts.words, parts.pronounceable, parts.held})
        fields.append(QString::number(part, 'f', 2));
    return fields.join(QLatin1Char(','));
}

} // namespace

QList<QCommandLineOption> rankCommandOptions()
{
    return {{QStringLiteral("format"),
             QStringLiteral("Output as text (default), csv, json (a line each) or json-array."),
             QStringLiteral("FORMAT")},
            {QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR")}};
}

ParsedOptions<RankOptions> parseRankOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(RankDescription));
    parser.addOptions(rankCommandOptions());
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The names, one a line."));
    const QCommandLineOption help = parser.addHelpOption();
    ParsedOptions<RankOptions> parsed;
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(help)) {
        parsed.help = parser.helpText();
        parsed.help.replace(0, parsed.help.indexOf(QLatin1Char('\n')),
                            QStringLiteral("Usage: brisquel-cli rank [options] FILE"));
        return parsed;
    }
    if (parser.positionalArguments().size() != 1) {
        parsed.error = QStringLiteral("give one file of names");
        return parsed;
    }
    RankOptions options;
    options.file = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    if (parser.isSet(QStringLiteral("format"))) {
        const QString format = parser.value(QStringLiteral("format"));
        if (format == QLatin1String("text"))
            options.format = OutputFormat::Text;
        else if (format == QLatin1String("csv"))
            options.format = OutputFormat::Csv;
        else if (format == QLatin1String("json") || format == QLatin1String("jsonl"))
            options.format = OutputFormat::JsonLines;
        else if (format == QLatin1String("json-array"))
            options.format = OutputFormat::JsonArray;
        else {
            parsed.error =
                QStringLiteral("unknown format \"%1\" (use text, csv, json or json-array)").arg(format);
            return parsed;
        }
    }
    parsed.options = options;
    return parsed;
}

QByteArray formatRanking(const NameScorer& scorer, const QByteArray& text, OutputFormat format)
{
    QList<Ranked> ranked;
    const QString all = QString::fromUtf8(text);
    for (QStringView line : QStringView(all).tokenize(u'\n')) {
        for (QStringView part : line.tokenize(u'\r')) {
            const QStringView name = part.trimmed();
            if (name.isEmpty() || name.startsWith(u'#'))
                continue;
            Ranked entry{name.toString(), scorer.parts(name), 0};
            entry.score = scorer.score(entry.parts);
            ranked.append(std::move(entry));
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Ranked& a, const Ranked& b) { return a.score > b.score; });
    QByteArray out;
    RecordFrame frame(format);
    if (format == OutputFormat::Csv)
        out += "name,score,length,clean,words,pronounceable,held\n";
    else if (format != OutputFormat::Text)
        out += frame.opening();
    for (const Ranked& entry : std::as_const(ranked)) {
        if (format == OutputFormat::Text)
            out +=
                (QString::number(entry.score) + QLatin1Char('\t') + entry.name + QLatin1Char('\n')).toUtf8();
        else if (format == OutputFormat::Csv)
            out += (csvField(entry.name) + QLatin1Char(',') + QString::number(entry.score) +
                    QLatin1Char(',') + partsCsv(entry.parts) + QLatin1Char('\n'))
                       .toUtf8();
        else
            out += frame.next(QJsonDocument(jsonOf(entry)).toJson(QJsonDocument::Compact));
    }
    if (format != OutputFormat::Text && format != OutputFormat::Csv)
        out += frame.closing();
    return out;
}

QHash<QString, int> heldCountsFromHistory(const QString& root)
{
    QHash<QString, int> counts;
    const QString path = DataFolder(root).path(QString::fromLatin1(HistoryStore::FileName));
    if (!QFileInfo(path).isFile())
        return counts;
    HistoryReader reader(path);
    QString error;
    // Without a readable history the part is only left at nothing.
    if (!reader.open(&error))
        return counts;
    // The newest check of each name decides whether it is held.
    QHash<QString, bool> held;
    reader.forEachRow(
        HistoryFilter{},
        [&held](const HistoryRow& row) {
            const Verdict verdict = row.record.verdict;
            if (verdict != Verdict::Unanswered)
                held.insert(row.record.ascii,
                            verdict == Verdict::Registered || verdict == Verdict::NotRegistrable);
            return true;
        },
        &error);
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        if (it.value())
            ++counts[labelOf(it.key()).toString()];
    }
    return counts;
}

ExitCode runRankCommand(const QStringList& arguments)
{
    const ParsedOptions<RankOptions> parsed = parseRankOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    QFile file(parsed.options->file);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxListBytes) {
        printError(QStringLiteral("%1 could not be read: %2").arg(file.fileName(), file.errorString()));
        return ExitCode::Failure;
    }
    const QString root = DataFolder::resolveRoot(arguments);
    NameScorer scorer = NameScorer::forDataFolder(root);
    scorer.setHeldCounts(heldCountsFromHistory(root));
    StandardOutput output;
    return output.print(formatRanking(scorer, file.readAll(), parsed.options->format))
               ? ExitCode::Success
               : output.reportFailure();
}

} // namespace brisquel
