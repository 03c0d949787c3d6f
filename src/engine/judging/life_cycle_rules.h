#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

namespace brisquel {

// How registries write a name's life cycle where they differ from one another, read from a
// life-cycle file:
//
//   [whois.nic.example whois.example.net]   the lines of these servers
//   dates          mm/dd/yyyy                how they write numeric dates: mm/dd/yyyy, dd/mm/yyyy, yy/mm/dd
//   expiry         fecha de vencimiento      a key whose value is the expiry date
//   status         estado                    a key whose value is the name's state
//   pendingDelete  to be released            a state's wording (also redemptionPeriod, pendingRestore)
//   [*]                                      lines for every server, after each server's own
//
// Keys and wordings are compared by their letters and digits alone, without case: "exp date"
// meets "Exp date:", "EXP-DATE" and "expdate". Every load adds to the lines already read, so the
// user's file adds to the delivered one; a later "dates" line for a server replaces an earlier one.
class LifeCycleRules
{
public:
    // How a registry orders the parts of a numeric date such as 03/08/2025.
    enum class DateOrder
    {
        Unknown,
        DayFirst,
        MonthFirst,
        YearFirst // a two-digit year first: 25/08/03
    };

    struct Problem
    {
        QString origin;
        int lineNumber = 0;
        QString message;
    };

    // Far above any real file of this kind: a larger one is not read.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    LifeCycleRules();
    ~LifeCycleRules();

    // The lines delivered with the program, read once.
    static const LifeCycleRules& shipped();
    static QByteArray shippedText();
    // The delivered lines with the file at path over them when it exists; *error says why it could
    // not be read.
    static std::shared_ptr<const LifeCycleRules> deliveredWith(const QString& path, QList<Problem>* problems,
                                                               QString* error);
    // The rules readers use when they are given none: the delivered ones until install() puts others
    // (start-up's, with the user's lines) in force.
    static std::shared_ptr<const LifeCycleRules> current();
    static void install(std::shared_ptr<const LifeCycleRules> rules);

    // Adds the lines of `text`; broken lines are skipped and listed in *problems.
    void load(const QByteArray& text, const QString& origin, QList<Problem>* problems = nullptr);

    struct Section;
    // What applies to one server: its own lines, then those of [*].
    class ForServer
    {
    public:
        DateOrder dateOrder() const;
        // `key` and `value` squeezed: letters and digits, lower case.
        bool isExpiryKey(QStringView key) const;
        bool isStatusKey(QStringView key) const;
        // The state a squeezed status value names by a wording of these lines, or empty.
        QString stateOf(QStringView value) const;

    private:
        friend class LifeCycleRules;
        const Section* m_own = nullptr;
        const Section* m_generic = nullptr;
    };
    ForServer forServer(const QString& server) const;

private:
    void readLine(const QString& line, int lineNumber, const QString& origin, QList<Problem>* problems);

    std::vector<std::shared_ptr<Section>> m_sections;
    QHash<QString, std::shared_ptr<Section>> m_byHost;
    std::shared_ptr<Section> m_generic;
    QList<std::shared_ptr<Section>> m_current; // the sections the lines being read go to
};

// Letters and digits only, lower case: "Exp-Date", "exp date" and "EXPDATE" meet.
QString squeezed(QStringView text);

} // namespace brisquel
