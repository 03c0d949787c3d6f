#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <memory>

namespace brisquel {

// How long a registry's deletion stages last and when it releases names, for one extension.
struct DropRule
{
    int graceDays = 0;         // the most days a registrar may keep an expired name
    int redemptionDays = 0;    // redemptionPeriod
    int pendingDeleteDays = 0; // after redemption, before release
    int quarantineDays = 0;    // one stage instead of redemption and pendingDelete (.eu, .be, .nl)
    QTime dropTime;            // UTC; invalid when unknown
    QString source;

    // The days a name spends deleted but not yet free: quarantine, or redemption and pendingDelete.
    int daysAfterDeletion() const
    {
        return quarantineDays > 0 ? quarantineDays : redemptionDays + pendingDeleteDays;
    }
    bool operator==(const DropRule&) const = default;
};

// The drop rules of drop-rules.txt: one line per extension or group of extensions,
//
//   com net  grace=45 redemption=30 pendingDelete=5 drop=19:00 source=ICANN ...
//
// Every load adds to the lines read before, and a later line for an extension replaces an earlier
// one: the user's file read after the delivered one wins.
class DropRules
{
public:
    struct Problem
    {
        QString origin;
        int lineNumber = 0;
        QString message;
    };

    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    static QByteArray shippedText();
    static const DropRules& shipped();
    // The delivered lines with the file at path over them when it exists; *error says why it could
    // not be read.
    static std::shared_ptr<const DropRules> deliveredWith(const QString& path, QList<Problem>* problems,
                                                          QString* error);

    // deliveredWith() for the data folder's file, with every problem as a message for start-up.
    static std::shared_ptr<const DropRules> inFolderFile(const QString& path, QStringList* messages);

    // Adds the lines of `text`; broken lines are skipped and listed in *problems.
    void load(const QByteArray& text, const QString& origin, QList<Problem>* problems = nullptr);

    // The rule of the longest suffix of `domainOrExtension` ("a.co.uk" looks for "co.uk", then
    // "uk"), or null.
    const DropRule* forName(const QString& domainOrExtension) const;
    qsizetype size() const { return m_byExtension.size(); }

private:
    bool readLine(const QString& line, QString* problem);

    QHash<QString, DropRule> m_byExtension;
};

} // namespace brisquel
