#pragma once

#include "engine/judging/answer_text.h"
#include "engine/judging/verdict.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

namespace brisquel {

// How WHOIS servers word their answers, read from an answer rules file:
//
//   [whois.nic.example whois.example.net]     the rules of these servers
//   encoding EUC-KR                            their answers' character set when it is no UTF-8
//   available   ^\s*Domain Status:\s*Available\s*$
//   [*]                                        the generic rules, after every server's own
//
// A rule is a kind (available, taken, reserved, limited, failure) and a regular expression that is
// matched against each line of the answer on its own, without regard to case. "generic off" in a
// section leaves the generic rules out for its servers. A later section for a host replaces an
// earlier one, so that the user's file overrides the shipped rules server by server (an encoding
// stays with its servers until a later section names another); a later [*] adds to the generic
// rules, unless it says "replace delivered", which drops those of earlier loads.
class AnswerRules
{
public:
    enum class Kind
    {
        Available,
        Taken,
        Reserved,
        Limited,
        Failure
    };
    static constexpr int KindCount = 5;
    // Far above any real rules file: a larger one is not read.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    struct Problem
    {
        QString origin;
        int lineNumber = 0;
        QString message;
    };

    struct Judgement
    {
        Verdict verdict = Verdict::Registered;
        QString detail;       // "no rule matched", "reserved", "server refused or limited the query", ...
        QString rule;         // which rule decided: "[whois.nic.example] available, answer-rules.txt line 12"
        bool refused = false; // a "limited" rule decided: ask again later
    };

    AnswerRules();
    ~AnswerRules();
    AnswerRules(const AnswerRules&) = delete;
    AnswerRules& operator=(const AnswerRules&) = delete;

    // The rules delivered with the program, read once.
    static const AnswerRules& shipped();
    static QByteArray shippedText();

    // Adds the rules of `text`; broken lines are skipped and listed in *problems.
    void load(const QByteArray& text, const QString& origin, QList<Problem>* problems = nullptr);
    // The same for a file; false (and *error) when it cannot be read.
    bool loadFile(const QString& path, QList<Problem>* problems = nullptr, QString* error = nullptr);

    // After the user's rules went over `delivered` (this object's first load): where they leave the generic
    // rules without an available or a taken rule, or a server section of theirs without any available rule,
    // no name could be told free there. Those places get the delivered rules back, each said in *notes.
    void restoreMissingKinds(const AnswerRules& delivered, QStringList* notes);

    // Field lines ("Key: value") beside a refusal up to which the answer is rationed, not a record.
    static constexpr int MaxReducedRecordLines = 4;

    // `queriedName`: the name asked about, when known; the answer is judged as if it named no
    // name, so that no word of a name can make a verdict.
    Judgement judge(const QByteArray& answer, const QString& server, const QString& queriedName = QString()) const;
    // The character set `server` answers in when its answer is no UTF-8; empty when not known.
    QByteArray encodingFor(const QString& server) const;
    // The answer's text as the rules judge it.
    QString decode(const QByteArray& answer, const QString& server) const
    {
        return decodeAnswer(answer, encodingFor(server)).text;
    }

private:
    struct Rule;
    struct RuleSet;
    struct Search;
    struct Reading;
    const RuleSet& ruleSetFor(const QString& server) const;
    // The verdict that the rule sets, in order, give to the answer in `search`.
    static Judgement decide(Search& search, const QList<const RuleSet*>& sets);
    // One line of a rules file, neither blank nor a comment.
    void readLine(Reading& reading, const QString& line, int lineNumber);
    // False when the line is no [section] line.
    bool readSectionHeader(Reading& reading, const QString& line, int lineNumber);
    void readRule(const Reading& reading, const QString& line, int lineNumber);
    void readEncoding(const Reading& reading, const QString& name, int lineNumber);
    void compile();

    std::vector<std::shared_ptr<RuleSet>> m_sets;
    QHash<QString, std::shared_ptr<RuleSet>> m_byHost;
    QHash<QString, QByteArray> m_encodings; // by host
    std::shared_ptr<RuleSet> m_generic;
    int m_loads = 0;
};

} // namespace brisquel
