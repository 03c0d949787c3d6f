#include "registrars_file.h"

#include "rdap_bootstrap.h"
#include "support/failure.h"
#include "support/file_helpers.h"
#include "support/line_reader.h"
#include "support/text_file.h"

#include <QFile>
#include <functional>

namespace brisquel {

namespace {

constexpr QChar Separator = QLatin1Char('|');
constexpr int FieldCount = 4;
constexpr int MinPort = 1;
constexpr int MaxPort = 65535;

QString statusText(bool enabled)
{
    return enabled ? RegistrarsFile::enabledStatus() : QStringLiteral("Disabled");
}

bool isBlank(const QString& line)
{
    return line.isEmpty() || line == QLatin1String(" ");
}

bool parsePort(const QString& text, int* port)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < MinPort || value > MaxPort)
        return false;
    *port = value;
    return true;
}

QString shortened(const QString& text)
{
    constexpr qsizetype Shown = 20;
    return text.size() <= Shown ? text : text.left(Shown) + QStringLiteral("...");
}

QString formatRow(const QStringList& fields)
{
    return fields.join(Separator);
}

// A separator or a line end inside a field would change the rows of the file.
bool fieldsFit(const QStringList& fields, QString* error)
{
    for (const QString& field : fields) {
        if (field.contains(Separator) || field.contains(QLatin1Char('\r')) ||
            field.contains(QLatin1Char('\n')))
            return fail(error,
                        QStringLiteral("\"%1\" must not hold \"|\" or a line break").arg(shortened(field)));
    }
    return true;
}

bool checkNewRow(const QString& extension, const QString& server, const QString& port, QString* error)
{
    if (extension.isEmpty() || server.isEmpty())
        return fail(error, QStringLiteral("The extension and the server must not be empty"));
    int value = 0;
    if (!parsePort(port, &value))
        return fail(
            error, QStringLiteral("The port must be a whole number from %1 to %2").arg(MinPort).arg(MaxPort));
    return fieldsFit({extension, server, port}, error);
}

// Lists bad lines up to a limit, so that a file of garbage cannot fill memory with reports.
class ProblemSink
{
public:
    explicit ProblemSink(QList<RegistrarsProblem>* out)
        : m_out(out)
    {}

    void add(qint64 lineNumber, const QString& message)
    {
        if (!m_out)
            return;
        if (m_listed < RegistrarsFile::MaxReportedProblems) {
            m_out->append({lineNumber, message});
            ++m_listed;
        } else if (m_unlisted++ == 0) {
            m_firstUnlisted = lineNumber;
        }
    }

    void finish()
    {
        if (m_out && m_unlisted > 0)
            m_out->append(
                {m_firstUnlisted, QStringLiteral("%1 further bad lines not listed").arg(m_unlisted)});
    }

private:
    QList<RegistrarsProblem>* m_out;
    int m_listed = 0;
    qint64 m_unlisted = 0;
    qint64 m_firstUnlisted = 0;
};

QString readError(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

// Calls onRow with the fields of every non-blank line that has at least four of them; shorter
// and over-long lines go to the problems. onRow returns false to stop early.
bool readRows(const QString& path, ProblemSink* problems, qint64* nonBlankLines, QString* error,
              const std::function<bool(qint64, const QStringList&)>& onRow)
{
    if (const QString tooLarge = oversizeProblem(path, RegistrarsFile::MaxFileBytes); !tooLarge.isEmpty())
        return fail(error, tooLarge + QStringLiteral("; it is not read."));
    LineReader reader(RegistrarsFile::MaxLineBytes);
    QString reason;
    if (!reader.open(path, &reason))
        return fail(error, readError(path, reason));
    QString line;
    while (reader.readLine(&line)) {
        if (isBlank(line))
            continue;
        ++*nonBlankLines;
        const qint64 number = reader.lineNumber();
        if (reader.lastLineTruncated()) {
            problems->add(
                number, QStringLiteral("the line is longer than %1 bytes").arg(RegistrarsFile::MaxLineBytes));
            continue;
        }
        const QStringList fields = line.split(Separator);
        if (fields.size() < FieldCount) {
            problems->add(number, QStringLiteral("fewer than four fields separated by \"|\""));
            continue;
        }
        if (!onRow(number, fields))
            break;
    }
    if (reader.hasError())
        return fail(error, readError(path, reader.errorString()));
    return true;
}

QString tooManyRows()
{
    return QStringLiteral("more than %1 rows; the rest is ignored").arg(ExtensionTable::MaxRows);
}

} // namespace

RegistrarsFile::RegistrarsFile(QString path)
    : m_path(std::move(path))
{}

bool RegistrarsFile::createDefaultRegistrars(bool reset, QString* error) const
{
    if (!reset && fileExists(m_path))
        return true;
    // Written in one piece over any old file, so that a failed reset never leaves the program
    // without its table. The final empty line is the file's long-standing shape.
    QStringList lines;
    for (const ExtensionRow& row : defaultExtensionRows())
        lines.append(
            formatRow({row.extension, row.server, QString::number(row.port), statusText(row.enabled)}));
    lines.append(QString());
    return TextFile::writeLines(m_path, lines, error);
}

bool RegistrarsFile::loadExtensionTable(ExtensionTable* table, QList<RegistrarsProblem>* problems,
                                        QString* error) const
{
    ProblemSink sink(problems);
    QList<ExtensionRow> rows;
    qint64 nonBlank = 0;
    const bool read =
        readRows(m_path, &sink, &nonBlank, error, [&](qint64 number, const QStringList& fields) {
            ExtensionRow row;
            if (!parsePort(fields.at(2), &row.port)) {
                sink.add(number, QStringLiteral("port \"%1\" is not a whole number from %2 to %3")
                                     .arg(shortened(fields.at(2)))
                                     .arg(MinPort)
                                     .arg(MaxPort));
                return true;
            }
            if (rows.size() == ExtensionTable::MaxRows) {
                sink.add(number, tooManyRows());
                return false;
            }
            row.extension = fields.at(0).toLower();
            // A URL's path may be case-sensitive; host names are not.
            row.server = isRdapServer(fields.at(1)) ? fields.at(1) : fields.at(1).toLower();
            row.enabled = fields.at(3) == enabledStatus();
            rows.append(row);
            return true;
        });
    sink.finish();
    if (!read)
        return false;
    // A file without rows is more likely damaged than meant; keep the rows the program has.
    if (nonBlank > 0)
        table->setRows(std::move(rows));
    return true;
}

bool RegistrarsFile::saveExtensionRow(const QString& extension, const QString& server, const QString& port,
                                      bool enabled, QString* error) const
{
    const QString key = extension.toLower();
    if (!checkNewRow(key, server, port, error))
        return false;
    const QString newLine = formatRow({key, server, port, statusText(enabled)});

    if (const QString tooLarge = oversizeProblem(m_path, MaxFileBytes); !tooLarge.isEmpty())
        return fail(error, tooLarge + QStringLiteral("; it is not changed."));
    LineReader reader(MaxLineBytes);
    QString reason;
    if (!reader.open(m_path, &reason))
        return fail(error, readError(m_path, reason));
    // The leading and trailing empty lines keep the file's long-standing shape; readers skip them.
    QStringList lines{QString()};
    bool matched = false;
    QString line;
    while (reader.readLine(&line)) {
        // An over-long line was never loadable, and writing back its first part could make it so.
        if (isBlank(line) || reader.lastLineTruncated())
            continue;
        if (line.section(Separator, 0, 0) == key) {
            line = newLine;
            matched = true;
        }
        lines.append(line);
    }
    if (reader.hasError())
        return fail(error, readError(m_path, reader.errorString()));
    reader.close();
    lines.append(QString());
    if (!matched)
        lines.append(newLine);
    return TextFile::writeLines(m_path, lines, error);
}

bool RegistrarsFile::appendExtensionRow(const QString& extension, const QString& server, const QString& port,
                                        const QString& status, QString* error) const
{
    const QString key = extension.toLower();
    if (!checkNewRow(key, server, port, error) || !fieldsFit({status}, error))
        return false;
    return TextFile::appendLines(m_path, {formatRow({key, server, port, status})}, error);
}

QList<RegistrarsDisplayRow> RegistrarsFile::fillExtensionList(QList<RegistrarsProblem>* problems,
                                                              QString* error) const
{
    ProblemSink sink(problems);
    QList<RegistrarsDisplayRow> rows;
    qint64 nonBlank = 0;
    // A row whose port does not load is still shown, so that the user can correct or delete it.
    readRows(m_path, &sink, &nonBlank, error, [&](qint64 number, const QStringList& fields) {
        if (rows.size() == ExtensionTable::MaxRows) {
            sink.add(number, tooManyRows());
            return false;
        }
        rows.append(fields.mid(0, FieldCount));
        return true;
    });
    sink.finish();
    return rows;
}

bool RegistrarsFile::writeRegistrarsFromList(const QList<RegistrarsDisplayRow>& rows, QString* error) const
{
    QStringList lines;
    for (const RegistrarsDisplayRow& row : rows) {
        if (row.size() != FieldCount)
            return fail(error, QStringLiteral("A row must have exactly four fields"));
        if (!fieldsFit(row, error))
            return false;
        lines.append(formatRow(row));
        // Each row followed by an empty line: the file's long-standing shape; readers skip it.
        lines.append(QString());
    }
    return TextFile::writeLines(m_path, lines, error);
}

} // namespace brisquel
