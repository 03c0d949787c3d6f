#include "engine/judging/answer_rule_set.h"

#include <QStringList>

namespace brisquel {

QList<AnswerRules::RuleSet::Combined> AnswerRules::RuleSet::combine(const QList<const Rule*>& rules)
{
    if (rules.isEmpty())
        return {};
    QStringList alternatives;
    for (const Rule* rule : rules)
        alternatives.append(
            QStringLiteral("(?<brisquelrule%1>%2)").arg(alternatives.size()).arg(rule->pattern.pattern()));
    Combined combined;
    combined.expression = QRegularExpression(alternatives.join(QLatin1Char('|')),
                                             RulePatternOptions | QRegularExpression::MultilineOption);
    if (!combined.expression.isValid()) {
        QList<Combined> oneByOne;
        for (const Rule* rule : rules)
            oneByOne.append({rule->pattern, {{0, rule}}});
        return oneByOne;
    }
    combined.expression.optimize();
    const QStringList names = combined.expression.namedCaptureGroups();
    const QString prefix = QStringLiteral("brisquelrule");
    for (int group = 0; group < names.size(); ++group) {
        if (names.at(group).startsWith(prefix))
            combined.groups.append({group, rules.at(names.at(group).mid(prefix.size()).toInt())});
    }
    return {combined};
}

QList<QByteArray> requiredLiterals(const QString& pattern)
{
    QList<QByteArray> literals;
    QByteArray run;
    int depth = 0;
    auto finish = [&] {
        if (run.size() >= 3)
            literals.append(run);
        run.clear();
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'\\') {
            finish();
            ++i;
        } else if (c == u'[') {
            finish();
            for (++i; i < pattern.size() && pattern.at(i) != u']'; ++i) {
                if (pattern.at(i) == u'\\')
                    ++i;
            }
        } else if (c == u'(') {
            finish();
            ++depth;
        } else if (c == u')') {
            finish();
            --depth;
        } else if (c == u'|' && depth == 0) {
            return {};
        } else if (depth == 0 && c.isLetter() && c.unicode() < 0x80) {
            run.append(char(c.toLower().unicode()));
        } else {
            // "s?" or "e*" makes the letter before optional; "e+" keeps it.
            if ((c == u'?' || c == u'*' || c == u'{') && !run.isEmpty())
                run.chop(1);
            finish();
        }
    }
    finish();
    return literals;
}

// Rules anchored at the start of a line go into one expression that is tried at line starts only.
// Of the others, those with a word of their own are tried alone when the answer holds it; the rest
// go into one expression that is tried everywhere.
void AnswerRules::RuleSet::compile()
{
    for (int kind = 0; kind < KindCount; ++kind) {
        QList<const Rule*> gatedRules;
        QList<const Rule*> anchored;
        QList<const Rule*> loose;
        for (const Rule& rule : rules) {
            if (int(rule.kind) != kind)
                continue;
            if (rule.pattern.pattern().startsWith(QLatin1Char('^')))
                anchored.append(&rule);
            else if (!rule.literals.isEmpty())
                gatedRules.append(&rule);
            else
                loose.append(&rule);
        }
        combined[kind] = combine(anchored) + combine(loose);
        for (const Rule* rule : gatedRules)
            rule->pattern.optimize();
        gated[kind] = gatedRules;
    }
}

void AnswerRules::compile()
{
    m_generic->compile();
    for (const auto& set : m_sets)
        set->compile();
}

} // namespace brisquel
