#pragma once

#include "extension_table.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace brisquel {

// A line of registrars.txt that could not be loaded.
struct RegistrarsProblem
{
    qint64 lineNumber = 0;
    QString message;
};

// The four fields of a row as stored, for a table view: extension, server, port, status.
using RegistrarsDisplayRow = QStringList;

// registrars.txt: one row a line, "extension|server|port|status", CR LF line ends.
class RegistrarsFile
{
public:
    // No row is longer than a few hundred bytes; anything longer is a bad line.
    static constexpr qsizetype MaxLineBytes = 4096;
    // Bad lines listed one by one; beyond this a single further entry counts the rest.
    static constexpr int MaxReportedProblems = 100;
    // Far above any real table: a larger file is not read (nor rewritten a row at a time).
    static constexpr qint64 MaxFileBytes = 2 * 1024 * 1024;

    // The status field of a row in use; any other text disables the row.
    static QString enabledStatus() { return QStringLiteral("Enabled"); }

    explicit RegistrarsFile(QString path);

    QString path() const { return m_path; }

    // Writes the default rows unless the file exists (or reset is true, which deletes it first).
    bool createDefaultRegistrars(bool reset, QString* error = nullptr) const;
    // Loads every good row; bad lines are skipped and listed in *problems. A file without any
    // non-blank line leaves the table as it was. False (table unchanged) when the file cannot be read.
    bool loadExtensionTable(ExtensionTable* table, QList<RegistrarsProblem>* problems = nullptr,
                            QString* error = nullptr) const;
    // Replaces every line of the extension, or appends a new one.
    bool saveExtensionRow(const QString& extension, const QString& server, const QString& port, bool enabled,
                          QString* error = nullptr) const;
    bool appendExtensionRow(const QString& extension, const QString& server, const QString& port,
                            const QString& status, QString* error = nullptr) const;
    // Rows as stored (no case change), for the settings window's list.
    QList<RegistrarsDisplayRow> fillExtensionList(QList<RegistrarsProblem>* problems = nullptr,
                                                  QString* error = nullptr) const;
    // Replaces the file with the given rows, in the given order.
    bool writeRegistrarsFromList(const QList<RegistrarsDisplayRow>& rows, QString* error = nullptr) const;

private:
    QString m_path;
};

// The 92 rows written when registrars.txt is missing.
QList<ExtensionRow> defaultExtensionRows();

} // namespace brisquel
