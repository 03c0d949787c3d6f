#pragma once

#include "cli/command_options.h"

#include <QStringList>

namespace brisquel {

struct ZonesOptions
{
    enum class Action
    {
        Import,
        List,
        Remove
    } action = Action::List;
    QString tld;       // import: the zone, else taken from each file's name; remove: the zone
    QStringList files; // import, absolute
    enum class Format
    {
        Text,
        Csv,
        Json
    } format = Format::Text;
};

QList<QCommandLineOption> zonesCommandOptions();
// arguments: "zones" first, then the action and its words.
ParsedOptions<ZonesOptions> parseZonesOptions(const QStringList& arguments);

} // namespace brisquel
