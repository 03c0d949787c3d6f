#include "server_limits.h"

#include "support/file_helpers.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace brisquel {

namespace {

// "rate=N/s" (also per min, per 15min, per h); false when the value is no rate.
bool readRate(const QString& value, ServerLimits* limits)
{
    static const QRegularExpression rate(QStringLiteral("^(\\d+(?:\\.\\d+)?)/(s|min|15min|h)$"));
    const QRegularExpressionMatch match = rate.match(value);
    if (!match.hasMatch())
        return false;
    const double count = match.captured(1).toDouble();
    const QString per = match.captured(2);
    const double seconds = per == QLatin1String("s")       ? 1
                           : per == QLatin1String("min")   ? 60
                           : per == QLatin1String("15min") ? 900
                                                           : 3600;
    limits->perSecond = count / seconds;
    // A budget of a few seconds' worth, so that a pause is no waste, but never a flood.
    limits->burst = std::clamp(limits->perSecond * 2, 1.0, 10.0);
    return true;
}

// One "KEY=VALUE" field of a line; false when it is none the file knows or its value is bad.
bool readField(const QString& field, ServerLimits* limits, double* burst)
{
    const QString key = field.section(QLatin1Char('='), 0, 0);
    const QString value = field.section(QLatin1Char('='), 1);
    bool ok = false;
    if (key == QLatin1String("rate"))
        return readRate(value, limits);
    if (key == QLatin1String("burst")) {
        *burst = value.toDouble(&ok);
        return ok && *burst >= 1;
    }
    if (key == QLatin1String("connections")) {
        limits->connections = value.toInt(&ok);
        return ok && limits->connections >= 1;
    }
    if (key == QLatin1String("daily")) {
        limits->daily = value.toLongLong(&ok);
        return ok && limits->daily >= 0;
    }
    return false;
}

// The limits a line's fields (the host first) set over `limits`; none when a field is bad.
std::optional<ServerLimits> readLimits(const QStringList& fields, ServerLimits limits)
{
    if (fields.size() < 2)
        return std::nullopt;
    double burst = 0; // named: the server counts its rate over a sliding second, say
    for (qsizetype f = 1; f < fields.size(); ++f) {
        if (!readField(fields.at(f), &limits, &burst))
            return std::nullopt;
    }
    if (burst > 0)
        limits.burst = burst;
    return limits;
}

} // namespace

QByteArray ServerLimitsTable::shippedText()
{
    QFile file(QStringLiteral(":/data/server-limits.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const ServerLimitsTable& ServerLimitsTable::delivered()
{
    static const ServerLimitsTable table = [] {
        ServerLimitsTable loaded;
        loaded.load(shippedText(), QStringLiteral("server-limits.txt (delivered)"));
        return loaded;
    }();
    return table;
}

ServerLimitsTable ServerLimitsTable::deliveredWith(const QString& path, QList<Problem>* problems,
                                                   QString* error)
{
    ServerLimitsTable table;
    table.load(shippedText(), QStringLiteral("server-limits.txt (delivered)"), problems);
    QFile file(path);
    if (!file.exists())
        return table;
    if (const QString tooLarge = oversizeProblem(path, MaxFileBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge + QStringLiteral("; it is not read and the delivered limits are used.");
        return table;
    }
    if (file.open(QIODevice::ReadOnly))
        table.load(file.readAll(), QStringLiteral("server-limits.txt"), problems);
    else if (error)
        *error = QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString());
    return table;
}

void ServerLimitsTable::load(const QByteArray& text, const QString& origin, QList<Problem>* problems)
{
    // Lines end in CR LF, LF or CR alone.
    const QList<QByteArray> lines = QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        const bool isDefault = fields.first() == QLatin1String("*");
        const std::optional<ServerLimits> limits = readLimits(fields, isDefault ? ServerLimits() : m_default);
        if (!limits) {
            if (problems)
                problems->append(
                    {origin, i + 1,
                     QStringLiteral("not a limits line: \"%1\" (HOST rate=N/s burst=N connections=N daily=N)")
                         .arg(line.left(60))});
            continue;
        }
        if (isDefault) {
            m_default = *limits;
        } else {
            m_byHost.insert(fields.first().toLower(), *limits);
            m_texts.insert(fields.first().toLower(), fields.mid(1).join(QLatin1Char(' ')));
        }
    }
}

ServerLimits ServerLimitsTable::limitsFor(const QString& host) const
{
    return m_byHost.value(host.trimmed().toLower(), m_default);
}

QString ServerLimitsTable::describe(const ServerLimits& limits)
{
    QStringList parts;
    if (limits.perSecond > 0)
        parts << (limits.perSecond >= 1
                      ? QStringLiteral("%1 a second").arg(limits.perSecond, 0, 'g', 3)
                      : QStringLiteral("%1 a minute").arg(limits.perSecond * 60, 0, 'g', 3));
    parts << QStringLiteral("%1 at once").arg(limits.connections);
    if (limits.daily > 0)
        parts << QStringLiteral("%1 a day").arg(limits.daily);
    return parts.join(QStringLiteral(", "));
}

} // namespace brisquel
