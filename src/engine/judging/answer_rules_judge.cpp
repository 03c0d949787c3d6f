#include "engine/judging/answer_prose.h"
#include "engine/judging/answer_rule_set.h"
#include "engine/judging/answer_text.h"
#include "engine/judging/decision_view.h"
#include "engine/names/name_mask.h"

#include <cstring>

namespace brisquel {

// One answer being judged, and the lines of it that the rules match.
struct AnswerRules::Search
{
    const QByteArray& answer;
    const QString& text;
    // The sentences the generic rules other than "taken" look at, made when first needed.
    QString decision;
    bool decisionMade = false;
    int fields = 0; // lines of the form "Key: value", counted with the decision sentences
    // Gated rules look for their words in the text they match, lowered in ASCII (their words are),
    // made when a word is first looked for: the answer's bytes, or the decision sentences.
    QByteArray lowered;
    QByteArray loweredDecision;

    bool isDecision(const RuleSet& set, Kind kind) const { return kind != Kind::Taken && set.isGeneric(); }

    const QString& textFor(const RuleSet& set, Kind kind)
    {
        if (!isDecision(set, kind))
            return text;
        if (!decisionMade) {
            decision = decisionText(text, &fields);
            decisionMade = true;
        }
        return decision;
    }

    bool holds(const QByteArray& word, bool inDecision)
    {
        QByteArray& haystack = inDecision ? loweredDecision : lowered;
        if (haystack.isNull())
            haystack = inDecision ? decision.toUtf8().toLower() : answer.toLower();
        return ::memmem(haystack.constData(), size_t(haystack.size()), word.constData(),
                        size_t(word.size())) != nullptr;
    }

    // The rule of the first line that `expression` matches, told by its capture group.
    static const Rule* firstMatch(const QString& text, const QRegularExpression& expression,
                                  const QList<std::pair<int, const Rule*>>& groups, bool skipNegated)
    {
        for (qsizetype from = 0; from <= text.size();) {
            const QRegularExpressionMatch match = expression.match(text, from);
            if (!match.hasMatch())
                return nullptr;
            const QString line = skipNegated ? lineAt(text, match.capturedStart()) : QString();
            if (skipNegated && (deniesAvailability(line) || speaksOfAnotherSubject(line))) {
                // Go on at the next line.
                const qsizetype end = text.indexOf(QLatin1Char('\n'), match.capturedStart());
                if (end < 0)
                    return nullptr;
                from = end + 1;
                continue;
            }
            for (const auto& [group, rule] : groups) {
                if (match.capturedStart(group) >= 0)
                    return rule;
            }
            return groups.value(0).second;
        }
        return nullptr;
    }

    // The first line that a rule of this kind in `set` matches, and which rule that was.
    const Rule* find(const RuleSet& set, Kind kind, bool skipNegated)
    {
        const QString& text = textFor(set, kind);
        for (const RuleSet::Combined& combined : set.combined[int(kind)]) {
            if (const Rule* rule = firstMatch(text, combined.expression, combined.groups, skipNegated))
                return rule;
        }
        const bool inDecision = isDecision(set, kind);
        const auto held = [this, inDecision](const QByteArray& word) {
            return holds(word, inDecision);
        };
        for (const Rule* rule : set.gated[int(kind)]) {
            if (std::all_of(rule->literals.cbegin(), rule->literals.cend(), held)) {
                if (const Rule* matched = firstMatch(text, rule->pattern, {{0, rule}}, skipNegated))
                    return matched;
            }
        }
        return nullptr;
    }
};

AnswerRules::Judgement AnswerRules::judge(const QByteArray& answer, const QString& server,
                                          const QString& queriedName) const
{
    AnswerText decoded = decodeAnswer(answer, encodingFor(server));
    if (isUnreadable(decoded))
        return {Verdict::Unanswered, QStringLiteral("unreadable answer"), QString()};
    // "$" in a rule is the end of a line; a NUL is a blank.
    QString text = std::move(decoded.text);
    text.replace(QChar(0), QLatin1Char(' '));
    text = maskQueriedName(text, queriedName);
    if (text.trimmed().isEmpty())
        return {Verdict::Unanswered, QStringLiteral("empty answer"), QString()};
    // A server's own rules speak first; the generic rules decide what they leave open.
    QList<const RuleSet*> sets;
    const RuleSet& own = ruleSetFor(server);
    sets.append(&own);
    if (&own != m_generic.get() && own.useGeneric)
        sets.append(m_generic.get());
    Search search{answer, text, QString(), false, 0, QByteArray(), QByteArray()};
    return decide(search, sets);
}

AnswerRules::Judgement AnswerRules::decide(Search& search, const QList<const RuleSet*>& sets)
{
    auto decided = [](Verdict verdict, const QString& detail, const Rule* rule) {
        return Judgement{verdict, detail, rule->description, rule->kind == Kind::Limited};
    };
    const Rule* record = nullptr;
    const RuleSet* recordSet = nullptr;
    for (const RuleSet* set : sets) {
        if ((record = search.find(*set, Kind::Taken, false))) {
            recordSet = set;
            break;
        }
    }
    // A refusal beside a few record lines is a rationed answer ("rate limit exceeded", then reduced
    // information): the refusal stands for the whole of it. Under a full record, a line about limits
    // does not take the record away; nor where a server's own rules know its reduced records.
    if (record && recordSet->isGeneric() &&
        (search.textFor(*recordSet, Kind::Limited), search.fields <= MaxReducedRecordLines)) {
        for (const RuleSet* set : sets) {
            if (const Rule* rule = search.find(*set, Kind::Limited, false))
                return decided(Verdict::Unanswered, QStringLiteral("server refused or limited the query"),
                               rule);
        }
    }
    for (const RuleSet* set : sets) {
        // Throttle and failure wording counts only when the answer is no record: a footer about
        // rate limits under a full record does not take the record away.
        if (!record) {
            if (const Rule* rule = search.find(*set, Kind::Limited, false))
                return decided(Verdict::Unanswered, QStringLiteral("server refused or limited the query"),
                               rule);
            if (const Rule* rule = search.find(*set, Kind::Failure, false))
                return decided(Verdict::Unanswered, QStringLiteral("service failure"), rule);
        }
        if (const Rule* rule = search.find(*set, Kind::Reserved, false))
            return decided(Verdict::NotRegistrable, QStringLiteral("not registrable"), rule);
        // A free wording beside the evidence of a record is not believed: the careful direction.
        if (!record) {
            if (const Rule* rule = search.find(*set, Kind::Available, true))
                return decided(Verdict::Available, QString(), rule);
        }
        // A server's own record wording settles it before the generic rules have their say.
        if (recordSet == set)
            return decided(Verdict::Registered, QString(), record);
    }
    // The careful direction: a name is only reported free when the server says so.
    return {Verdict::Registered, QStringLiteral("no rule matched"), QString()};
}

} // namespace brisquel
