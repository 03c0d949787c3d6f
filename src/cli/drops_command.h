#pragma once

#include "cli/command_options.h"
#include "cli/exit_code.h"
#include "engine/filing/drop_calendar.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace brisquel {

struct DropsOptions
{
    OutputFormat format = OutputFormat::Text;
    std::optional<int> withinDays; // --within: only releases that may come within so many days
};

QList<QCommandLineOption> dropsCommandOptions();
ParsedOptions<DropsOptions> parseDropsOptions(const QStringList& arguments);

// The calendar as the format has it: text (release, name, state, expiry; tab-separated), csv with a
// header, or JSON objects with the keys name, state, expires, drops, start, end, sureness.
QByteArray formatDropCalendar(const DropCalendar& calendar, OutputFormat format);

// "brisquel-cli drops [--home DIR] [--format text|csv|json] [--within DAYS]": the data folder's
// Dropping.txt, soonest release first; names of an unknown release come last. Reads, never writes.
ExitCode runDropsCommand(const QStringList& arguments);

} // namespace brisquel
