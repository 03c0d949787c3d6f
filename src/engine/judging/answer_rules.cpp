#include "answer_rules.h"

#include "engine/judging/answer_text.h"
#include "engine/judging/decision_view.h"
#include "engine/names/name_mask.h"
#include "support/file_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <cstring>

namespace brisquel {

namespace {

constexpr auto PatternOptions = QRegularExpression::CaseInsensitiveOption;
const QString GenericHost = QStringLiteral("*");

const char* const KindNames[] = {"available", "taken", "reserved", "limited", "failure"};

// A line that says a name is *not* available never counts as saying that it is.
const QRegularExpression& negation()
{
    static const QRegularExpression pattern(
        QStringLiteral("\\b(not|n't|no\\s+longer)\\s+(be\\s+|currently\\s+)?available\\b|\\bunavailable\\b|"
                       "\\bnot\\s+free\\b"),
        PatternOptions);
    return pattern;
}

// Lines that say something other than the name is missing: "server not found", "no records for
// that zone".
const QRegularExpression& otherSubject()
{
    static const QRegularExpression pattern(
        QStringLiteral(
            "\\b(server|host|service|page|file|command|resource|tld|zone|extension|method|user|"
            "account|handler|url|path|endpoint|backend|table|script|module|configuration|config|"
            "certificate|route)\\s+(was\\s+|is\\s+)?(not\\s*found|does\\s+not\\s+exist)|"
            "\\b(for|in)\\s+(that|this|the\\s+given)\\s+(zone|tld|extension)\\b|"
            "\\b(whois\\s+server|server|host)\\b.{0,40}\\b(could\\s+not\\s+be\\s+found|not\\s*found)\\b"),
        PatternOptions);
    return pattern;
}

QString lineAt(const QString& text, qsizetype position)
{
    const qsizetype begin = text.lastIndexOf(QLatin1Char('\n'), position - 1) + 1;
    qsizetype end = text.indexOf(QLatin1Char('\n'), position);
    if (end < 0)
        end = text.size();
    return text.mid(begin, end - begin);
}

// The runs of letters that every match of the expression contains: outside groups, classes and
// escapes, and not made optional by a quantifier; runs of fewer than three letters are left out.
// Empty when the expression has alternatives at its top level.
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

} // namespace

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
};

AnswerRules::AnswerRules()
    : m_generic(std::make_shared<RuleSet>())
{
    m_generic->section = GenericHost;
    compile();
}

AnswerRules::~AnswerRules() = default;

QByteArray AnswerRules::shippedText()
{
    QFile file(QStringLiteral(":/data/answer-rules.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const AnswerRules& AnswerRules::shipped()
{
    static const std::unique_ptr<AnswerRules> rules = [] {
        auto loaded = std::make_unique<AnswerRules>();
        loaded->load(shippedText(), QStringLiteral("answer-rules.txt (delivered)"));
        return loaded;
    }();
    return *rules;
}

bool AnswerRules::loadFile(const QString& path, QList<Problem>* problems, QString* error)
{
    if (const QString tooLarge = oversizeProblem(path, MaxFileBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge + QStringLiteral("; it is not read and the delivered rules are used.");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    load(file.readAll(), QFileInfo(path).fileName(), problems);
    return true;
}

// One call of load(): where its lines come from and the section they fall in.
struct AnswerRules::Reading
{
    const QString& origin;
    QList<Problem>* problems;
    std::shared_ptr<RuleSet> current;

    void report(int lineNumber, const QString& message) const
    {
        if (problems)
            problems->append({origin, lineNumber, message});
    }
};

void AnswerRules::load(const QByteArray& text, const QString& origin, QList<Problem>* problems)
{
    ++m_loads;
    Reading reading{origin, problems, nullptr};
    // Lines end in CR LF, LF or CR alone.
    const QList<QByteArray> lines = QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i)).trimmed();
        // A byte-order mark that an editor put before the first line.
        if (i == 0 && line.startsWith(QChar(0xfeff)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        readLine(reading, line, i + 1);
    }
    compile();
}

void AnswerRules::readLine(Reading& reading, const QString& line, int lineNumber)
{
    if (readSectionHeader(reading, line, lineNumber))
        return;
    if (!reading.current) {
        reading.report(lineNumber, QStringLiteral("a rule before the first [server] line"));
        return;
    }
    if (line == QLatin1String("generic off")) {
        reading.current->useGeneric = false;
        return;
    }
    if (line.startsWith(QLatin1String("encoding")) && line.size() > 8 && line.at(8).isSpace()) {
        readEncoding(reading, line.mid(9).trimmed(), lineNumber);
        return;
    }
    if (line == QLatin1String("replace delivered")) {
        if (reading.current == m_generic)
            reading.current->rules.removeIf([this](const Rule& rule) { return rule.load < m_loads; });
        else
            reading.report(lineNumber,
                           QStringLiteral("\"replace delivered\" belongs in the [*] section; a server's "
                                          "section replaces the delivered one anyway"));
        return;
    }
    readRule(reading, line, lineNumber);
}

bool AnswerRules::readSectionHeader(Reading& reading, const QString& line, int lineNumber)
{
    static const QRegularExpression header(QStringLiteral("^\\[([^\\]]+)\\]$"));
    const QRegularExpressionMatch match = header.match(line);
    if (!match.hasMatch())
        return false;
    const QStringList hosts = match.captured(1).toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (hosts.isEmpty()) {
        reading.report(lineNumber, QStringLiteral("a section names no server"));
        reading.current.reset();
        return true;
    }
    // The generic rules are one set that every [*] adds to.
    if (hosts.contains(GenericHost)) {
        reading.current = m_generic;
    } else {
        reading.current = std::make_shared<RuleSet>();
        reading.current->section = hosts.join(QLatin1Char(' '));
        reading.current->origin = reading.origin;
        reading.current->load = m_loads;
        m_sets.push_back(reading.current);
    }
    for (const QString& host : hosts) {
        if (host != GenericHost)
            m_byHost.insert(host, reading.current);
    }
    return true;
}

void AnswerRules::readEncoding(const Reading& reading, const QString& name, int lineNumber)
{
    if (reading.current == m_generic) {
        reading.report(lineNumber, QStringLiteral("\"encoding\" belongs in a server's section"));
        return;
    }
    // Rules look for ASCII words in the bytes as they came: a character set must keep ASCII as it is.
    const QByteArray encoding = name.toLatin1();
    QStringDecoder decoder(encoding.constData(), QStringDecoder::Flag::Stateless);
    const QByteArray sample("Domain Name: a-1.example\r\n");
    if (!decoder.isValid()) {
        reading.report(lineNumber,
                       QStringLiteral("unknown encoding \"%1\" (known are, for example, EUC-KR, Shift_JIS, "
                                      "ISO-2022-JP, GB18030, Big5, windows-1251, ISO-8859-2)")
                           .arg(name.left(60)));
        return;
    }
    if (QString(decoder.decode(sample)) != QLatin1String(sample)) {
        reading.report(lineNumber, QStringLiteral("the encoding \"%1\" does not keep ASCII as it is; answers "
                                                  "cannot be judged in it")
                                       .arg(name.left(60)));
        return;
    }
    // It stays with the servers when a later section replaces their rules.
    for (const QString& host : reading.current->section.split(QLatin1Char(' ')))
        m_encodings.insert(host, encoding);
}

void AnswerRules::readRule(const Reading& reading, const QString& line, int lineNumber)
{
    static const QRegularExpression rule(QStringLiteral("^([a-z]+)\\s+(.+)$"));
    const QRegularExpressionMatch match = rule.match(line);
    const qsizetype kind = match.hasMatch() ? std::find(std::begin(KindNames), std::end(KindNames),
                                                        match.captured(1).toLatin1()) -
                                                  std::begin(KindNames)
                                            : KindCount;
    if (kind >= KindCount) {
        reading.report(lineNumber, QStringLiteral("not a rule: \"%1\" (a rule starts with available, taken, "
                                                  "reserved, limited or failure)")
                                       .arg(line.left(60)));
        return;
    }
    QRegularExpression pattern(match.captured(2), PatternOptions | QRegularExpression::MultilineOption);
    if (!pattern.isValid()) {
        reading.report(lineNumber, QStringLiteral("the expression is not valid: %1 at offset %2")
                                       .arg(pattern.errorString())
                                       .arg(pattern.patternErrorOffset()));
        return;
    }
    const QList<QByteArray> literals = pattern.pattern().startsWith(QLatin1Char('^'))
                                           ? QList<QByteArray>()
                                           : requiredLiterals(pattern.pattern());
    const QString description = QStringLiteral("[%1] %2, %3 line %4")
                                    .arg(reading.current->section, match.captured(1), reading.origin)
                                    .arg(lineNumber);
    reading.current->rules.append({Kind(kind), m_loads, pattern, description, literals});
}

void AnswerRules::compile()
{
    // Rules anchored at the start of a line go into one expression that is tried at line starts
    // only. Of the others, those with a word of their own are tried alone when the answer holds
    // it; the rest go into one expression that is tried everywhere.
    auto build = [](RuleSet& set) {
        for (int kind = 0; kind < KindCount; ++kind) {
            QList<const Rule*> gated;
            QList<const Rule*> anchored;
            QList<const Rule*> loose;
            for (const Rule& rule : set.rules) {
                if (int(rule.kind) != kind)
                    continue;
                const QString pattern = rule.pattern.pattern();
                if (pattern.startsWith(QLatin1Char('^')))
                    anchored.append(&rule);
                else if (!rule.literals.isEmpty())
                    gated.append(&rule);
                else
                    loose.append(&rule);
            }
            set.combined[kind].clear();
            for (const QList<const Rule*>* rules : {&anchored, &loose}) {
                if (rules->isEmpty())
                    continue;
                // Each alternative a named group, so that a match tells which rule it was.
                QStringList alternatives;
                for (const Rule* rule : *rules)
                    alternatives.append(QStringLiteral("(?<brisquelrule%1>%2)")
                                            .arg(alternatives.size())
                                            .arg(rule->pattern.pattern()));
                RuleSet::Combined combined;
                combined.expression =
                    QRegularExpression(alternatives.join(QLatin1Char('|')),
                                       PatternOptions | QRegularExpression::MultilineOption);
                if (!combined.expression.isValid()) {
                    // Rules that clash when joined (the same group name twice) are tried one by one.
                    for (const Rule* rule : *rules)
                        set.combined[kind].append({rule->pattern, {{0, rule}}});
                    continue;
                }
                combined.expression.optimize();
                const QStringList names = combined.expression.namedCaptureGroups();
                const QString prefix = QStringLiteral("brisquelrule");
                for (int group = 0; group < names.size(); ++group) {
                    if (names.at(group).startsWith(prefix))
                        combined.groups.append(
                            {group, rules->at(names.at(group).mid(prefix.size()).toInt())});
                }
                set.combined[kind].append(combined);
            }
            for (const Rule* rule : gated)
                rule->pattern.optimize();
            set.gated[kind] = gated;
        }
    };
    build(*m_generic);
    for (const auto& set : m_sets)
        build(*set);
}

void AnswerRules::restoreMissingKinds(const AnswerRules& delivered, QStringList* notes)
{
    auto has = [](const RuleSet& set, Kind kind) {
        return std::any_of(set.rules.cbegin(), set.rules.cend(),
                           [kind](const Rule& rule) { return rule.kind == kind; });
    };
    const RuleSet& deliveredGeneric = *delivered.m_generic;
    if ((!has(*m_generic, Kind::Available) || !has(*m_generic, Kind::Taken)) &&
        has(deliveredGeneric, Kind::Available) && has(deliveredGeneric, Kind::Taken)) {
        notes->append(
            QStringLiteral("The generic rules in answer-rules.txt have no %1 rule, which every answer needs "
                           "to be judged; the delivered generic rules are used with them.")
                .arg(has(*m_generic, Kind::Available) ? QStringLiteral("\"taken\"")
                                                      : QStringLiteral("\"available\"")));
        QList<Rule> rules = deliveredGeneric.rules;
        for (const Rule& rule : std::as_const(m_generic->rules)) {
            if (rule.load > 1)
                rules.append(rule);
        }
        m_generic->rules = rules;
    }
    // A server section of the user's that can never say "free" (no available rule of its own and
    // the generic ones left out): its servers get the delivered section back, or the generic rules.
    QSet<const RuleSet*> restored;
    for (auto it = m_byHost.begin(); it != m_byHost.end();) {
        const RuleSet& set = **it;
        if (set.load <= 1 || has(set, Kind::Available) || set.useGeneric) {
            ++it;
            continue;
        }
        const std::shared_ptr<RuleSet> original = delivered.m_byHost.value(it.key());
        if (!restored.contains(&set))
            notes->append(
                QStringLiteral("The section [%1] in %2 has no \"available\" rule and leaves the generic "
                               "rules out, so no name would be free there; the delivered rules are "
                               "used for its servers.")
                    .arg(set.section, set.origin));
        restored.insert(&set);
        if (!original) {
            it = m_byHost.erase(it);
            continue;
        }
        // A copy: the delivered rules are shared by every caller and compiled again below.
        auto copy = std::make_shared<RuleSet>(*original);
        m_sets.push_back(copy);
        *it = copy;
        ++it;
    }
    compile();
}

const AnswerRules::RuleSet& AnswerRules::ruleSetFor(const QString& server) const
{
    const auto found = m_byHost.constFind(server.trimmed().toLower());
    return found != m_byHost.cend() ? **found : *m_generic;
}

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

    bool isDecision(const RuleSet& set, Kind kind) const
    {
        return kind != Kind::Taken && set.section == GenericHost;
    }

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
            const auto said = [&](const QRegularExpression& pattern) {
                return pattern.match(lineAt(text, match.capturedStart())).hasMatch();
            };
            if (skipNegated && (said(negation()) || said(otherSubject()))) {
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

QByteArray AnswerRules::encodingFor(const QString& server) const
{
    return m_encodings.value(server.trimmed().toLower());
}

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
    if (record && recordSet->section == GenericHost &&
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
