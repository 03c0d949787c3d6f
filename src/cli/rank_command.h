#pragma once

#include "cli/command_options.h"
#include "cli/exit_code.h"
#include "engine/judging/name_score.h"

#include <QByteArray>
#include <QStringList>

namespace brisquel {

struct RankOptions
{
    OutputFormat format = OutputFormat::Text;
    QString file; // the names, one a line
};

QList<QCommandLineOption> rankCommandOptions();
ParsedOptions<RankOptions> parseRankOptions(const QStringList& arguments);

// The names of `text` (one a line; blank lines and #comments skipped), best score first, names of
// the same score in their file order: text ("score<TAB>name"), csv with a header, or JSON objects
// with the name, its score and each part.
QByteArray formatRanking(const NameScorer& scorer, const QByteArray& text, OutputFormat format);

// Per label, how many extensions the data folder's history found holding it (taken, reserved).
QHash<QString, int> heldCountsFromHistory(const QString& root);

// "brisquel-cli rank [--format F] [--home DIR] FILE": scores a list of names for a shortlist.
ExitCode runRankCommand(const QStringList& arguments);

} // namespace brisquel
