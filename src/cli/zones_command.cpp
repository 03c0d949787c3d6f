#include "zones_command.h"

#include "cli/cli_output.h"
#include "cli/command_line.h"
#include "cli/zones_options.h"
#include "engine/zones/zone_import.h"
#include "engine/zones/zone_shelf.h"
#include "support/data_folder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <cstdio>

namespace brisquel {

namespace {

void printOut(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
}

ExitCode importZones(const QString& zonesFolder, const ZonesOptions& options)
{
    QMap<QString, QStringList> byZone;
    for (const QString& file : options.files)
        byZone[options.tld.isEmpty() ? ZoneImport::zoneOfFile(file) : options.tld].append(file);
    ExitCode code = ExitCode::Success;
    for (auto zone = byZone.cbegin(); zone != byZone.cend(); ++zone) {
        QElapsedTimer timer;
        timer.start();
        ZoneImport import;
        ZoneImportResult result;
        QString error;
        const bool done = import.run(zonesFolder, zone.key(), zone.value(), QDateTime::currentDateTimeUtc(),
                                     &result, &error);
        for (const QString& problem : result.firstProblems)
            printError(QStringLiteral("Skipped: %1").arg(problem));
        if (!done) {
            printError(error);
            code = ExitCode::Failure;
            continue;
        }
        const double seconds = std::max(timer.elapsed(), qint64(1)) / 1000.0;
        printOut(QStringLiteral("Imported .%1: %2 names, serial %3, %4 records, %5 malformed lines skipped, "
                                "%6 s (%7 names/s), %8 bytes a name.\n")
                     .arg(zone.key())
                     .arg(result.info.names)
                     .arg(result.info.serial)
                     .arg(result.records)
                     .arg(result.malformed)
                     .arg(seconds, 0, 'f', 1)
                     .arg(qint64(double(result.info.names) / seconds))
                     .arg(double(result.info.fileSize) / double(result.info.names), 0, 'f', 2));
    }
    return code;
}

QString ageOf(const ZoneInfo& info, const QDateTime& now)
{
    return QString::number(double(info.zoneDate.secsTo(now)) / 86400.0, 'f', 1);
}

QString dateOf(const ZoneInfo& info)
{
    return info.zoneDate.toString(Qt::ISODate);
}

void listZones(const QList<ZoneInfo>& zones, ZonesOptions::Format format)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (format == ZonesOptions::Format::Json) {
        QJsonArray array;
        for (const ZoneInfo& info : zones) {
            array.append(QJsonObject{{QStringLiteral("zone"), info.zone},
                                     {QStringLiteral("names"), info.names},
                                     {QStringLiteral("serial"), qint64(info.serial)},
                                     {QStringLiteral("date"), dateOf(info)},
                                     {QStringLiteral("age_days"), ageOf(info, now).toDouble()},
                                     {QStringLiteral("file_size"), info.fileSize},
                                     {QStringLiteral("source"), info.source}});
        }
        printOut(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        return;
    }
    const bool csv = format == ZonesOptions::Format::Csv;
    const QString line = csv ? QStringLiteral("%1,%2,%3,%4,%5,%6\n") : QStringLiteral("%1 %2 %3 %4 %5 %6\n");
    const auto cell = [csv](const QString& text, int width) {
        return csv ? text : text.leftJustified(width);
    };
    printOut(line.arg(cell(QStringLiteral("zone"), 8), cell(QStringLiteral("names"), 12),
                      cell(QStringLiteral("serial"), 11), cell(QStringLiteral("date"), 20),
                      cell(QStringLiteral("age_days"), 8), QStringLiteral("file_size")));
    for (const ZoneInfo& info : zones) {
        printOut(line.arg(cell(info.zone, 8), cell(QString::number(info.names), 12),
                          cell(QString::number(info.serial), 11), cell(dateOf(info), 20),
                          cell(ageOf(info, now), 8), QString::number(info.fileSize)));
    }
}

} // namespace

ExitCode runZonesCommand(const QStringList& arguments)
{
    const ParsedOptions<ZonesOptions> parsed = parseZonesOptions(arguments);
    if (!parsed.options)
        return endWithoutRunning(parsed.help, parsed.error);
    const ZonesOptions& options = *parsed.options;
    const DataFolder folder(DataFolder::resolveRoot(arguments));
    ZoneShelf shelf(folder.path(QStringLiteral("zones")));
    switch (options.action) {
    case ZonesOptions::Action::Import:
        return importZones(shelf.folder(), options);
    case ZonesOptions::Action::List: {
        QStringList problems;
        const QList<ZoneInfo> zones = shelf.list(&problems);
        for (const QString& problem : problems)
            printError(problem);
        listZones(zones, options.format);
        return problems.isEmpty() ? ExitCode::Success : ExitCode::Failure;
    }
    case ZonesOptions::Action::Remove: {
        QString error;
        if (!shelf.remove(options.tld, &error)) {
            printError(error);
            return ExitCode::Failure;
        }
        return ExitCode::Success;
    }
    }
    return ExitCode::Failure;
}

} // namespace brisquel
