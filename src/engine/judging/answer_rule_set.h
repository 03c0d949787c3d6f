#pragma once

// The inside of AnswerRules, shared by the files that make it up: answer_rules.cpp (reading
// rules files), answer_rules_compile.cpp (the rules made ready to match) and
// answer_rules_judge.cpp (an answer judged by them).

#include "engine/judging/answer_rules.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <array>
#include <utility>

namespace brisquel {

// Every rule's expression matches without regard to case.
constexpr auto RulePatternOptions = QRegularExpression::CaseInsensitiveOption;

// The runs of letters that every match of the expression contains: outside groups, classes and
// escapes, and not made optional by a quantifier; runs of fewer than three letters are left out.
// Empty when the expression has alternatives at its top level.
QList<QByteArray> requiredLiterals(const QString& pattern);

struct AnswerRules::Rule
{
    Kind kind;
    int load; // which call of load() brought it
    QRegularExpression pattern;
    QString description; // "[hosts] kind, origin line N"
    // Lower-case words without any of which the rule cannot match; empty when unknown.
    QList<QByteArray> literals;
};

struct AnswerRules::RuleSet
{
    static inline const QString GenericHost = QStringLiteral("*");

    QString section;
    QString origin;
    int load = 0;
    bool useGeneric = true;
    QList<Rule> rules;
    // Compiled, per kind: the rules as one or two expressions over the whole answer; the rules
    // that carry a word of their own, tried only when the answer holds that word; and all rules
    // one by one, to tell which of them matched.
    struct Combined
    {
        QRegularExpression expression;
        QList<std::pair<int, const Rule*>> groups; // capture group of each rule's alternative
    };
    std::array<QList<Combined>, KindCount> combined;
    std::array<QList<const Rule*>, KindCount> gated;

    bool isGeneric() const { return section == GenericHost; }
    // Fills `combined` and `gated` from `rules`.
    void compile();
    // The rules as one expression, each alternative a named group, so that a match tells which
    // rule it was. Rules that clash when joined (the same group name twice) are tried one by one.
    static QList<Combined> combine(const QList<const Rule*>& rules);
};

} // namespace brisquel
