#include "answer_rules.h"

#include "support/file_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
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

// Line ends become "\n" alone, so that "$" in a rule means the end of the line.
QString answerText(const QByteArray& answer)
{
    QString text = QString::fromUtf8(answer);
    // One pass: CR LF and CR become LF, NUL a blank.
    QChar* out = text.data();
    const QChar* in = out;
    const QChar* end = in + text.size();
    for (; in != end; ++in) {
        const char16_t c = in->unicode();
        if (c == u'\r') {
            if (in + 1 == end || in[1] != u'\n')
                *out++ = QLatin1Char('\n');
        } else {
            *out++ = c == 0 ? QLatin1Char(' ') : *in;
        }
    }
    text.truncate(out - text.constData());
    return text;
}

// Binary garbage or a mangled stream, not a text in any character set: a NUL before the end, or
// most bytes control characters or broken UTF-8. An answer in Latin-1 with its few accented
// letters stays readable.
bool isUnreadable(const QByteArray& answer)
{
    qsizetype size = answer.size();
    // A NUL after the text, as a string terminator, does no harm.
    while (size > 0 && answer.at(size - 1) == '\0')
        --size;
    const QByteArrayView bytes(answer.constData(), size);
    if (bytes.contains('\0'))
        return true;
    qsizetype notText = 0;
    for (qsizetype i = 0; i < size;) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            // Tabs, line ends, form feeds and ESC (ISO-2022 shifts) are text; other controls are not.
            if ((c < 0x20 && !(c >= 0x09 && c <= 0x0d) && c != 0x1b) || c == 0x7f)
                ++notText;
            ++i;
            continue;
        }
        const int length = c >= 0xf5 ? 0 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        int good = length > 0 && i + length <= size ? 1 : 0;
        for (int k = 1; good && k < length; ++k)
            good = (static_cast<unsigned char>(bytes[i + k]) & 0xc0) == 0x80;
        if (good) {
            i += length;
        } else {
            ++notText;
            ++i;
        }
    }
    return notText * 2 > size;
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
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines.at(i);
        while (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = QString::fromUtf8(raw).trimmed();
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
    // Gated rules look for their word in the answer's bytes, lowered in ASCII (their words are), made
    // when a word is first looked for.
    QByteArray lowered;

    bool holds(const QByteArray& word)
    {
        if (lowered.isNull())
            lowered = answer.toLower();
        return ::memmem(lowered.constData(), size_t(lowered.size()), word.constData(), size_t(word.size())) !=
               nullptr;
    }

    // The rule of the first line that `expression` matches, told by its capture group.
    const Rule* firstMatch(const QRegularExpression& expression,
                           const QList<std::pair<int, const Rule*>>& groups, bool skipNegated) const
    {
        for (qsizetype from = 0; from <= text.size();) {
            const QRegularExpressionMatch match = expression.match(text, from);
            if (!match.hasMatch())
                return nullptr;
            if (skipNegated && negation().match(lineAt(text, match.capturedStart())).hasMatch()) {
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
        for (const RuleSet::Combined& combined : set.combined[int(kind)]) {
            if (const Rule* rule = firstMatch(combined.expression, combined.groups, skipNegated))
                return rule;
        }
        const auto held = [this](const QByteArray& word) {
            return holds(word);
        };
        for (const Rule* rule : set.gated[int(kind)]) {
            if (std::all_of(rule->literals.cbegin(), rule->literals.cend(), held)) {
                if (const Rule* matched = firstMatch(rule->pattern, {{0, rule}}, skipNegated))
                    return matched;
            }
        }
        return nullptr;
    }
};

AnswerRules::Judgement AnswerRules::judge(const QByteArray& answer, const QString& server) const
{
    if (isUnreadable(answer))
        return {Verdict::Unanswered, QStringLiteral("unreadable answer"), QString()};
    const QString text = answerText(answer);
    if (text.trimmed().isEmpty())
        return {Verdict::Unanswered, QStringLiteral("empty answer"), QString()};
    // A server's own rules speak first; the generic rules decide what they leave open.
    QList<const RuleSet*> sets;
    const RuleSet& own = ruleSetFor(server);
    sets.append(&own);
    if (&own != m_generic.get() && own.useGeneric)
        sets.append(m_generic.get());
    Search search{answer, text, QByteArray()};
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
