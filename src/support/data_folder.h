#pragma once

#include <QString>
#include <QStringList>

namespace brisquel {

// The folder that holds the program's files: word lists, working lists, result files and
// settings. --home DIR wins over BRISQUEL_HOME, which wins over the application data location.
class DataFolder
{
public:
    static QString resolveRoot(const QStringList& arguments);
    // What is wrong with the --home of the arguments: an empty path would make the current folder
    // the data folder. Empty when nothing is (also without --home).
    static QString homeArgumentProblem(const QStringList& arguments);
    static QString defaultUserSettingsPath();

    explicit DataFolder(QString root);

    QString root() const { return m_root; }
    // "relative" may start with "/" or not; "\" is taken as "/".
    QString path(const QString& relative) const;

    bool ensureRoot(QString* error = nullptr) const;
    // Copies the files delivered with the program into the folder when they are missing (for
    // answer-rules.txt, server-limits.txt and life-cycle.txt a commented template for the user's own lines);
    // never overwrites what the user has there. Returns the problems met, if any.
    QStringList deliverFiles() const;

    QString settingsPath() const { return path(QStringLiteral("settings.ini")); }

private:
    QString m_root;
};

} // namespace brisquel
