#include "answer_rules.h"

#include "engine/judging/answer_rule_set.h"
#include "support/file_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

namespace brisquel {

namespace {

const char* const KindNames[] = {"available", "taken", "reserved", "limited", "failure"};

} // namespace

AnswerRules::AnswerRules()
    : m_generic(std::make_shared<RuleSet>())
{
    m_generic->section = RuleSet::GenericHost;
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
    if (hosts.contains(RuleSet::GenericHost)) {
        reading.current = m_generic;
    } else {
        reading.current = std::make_shared<RuleSet>();
        reading.current->section = hosts.join(QLatin1Char(' '));
        reading.current->origin = reading.origin;
        reading.current->load = m_loads;
        m_sets.push_back(reading.current);
    }
    for (const QString& host : hosts) {
        if (host != RuleSet::GenericHost)
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
    QRegularExpression pattern(match.captured(2), RulePatternOptions | QRegularExpression::MultilineOption);
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

QByteArray AnswerRules::encodingFor(const QString& server) const
{
    return m_encodings.value(server.trimmed().toLower());
}

} // namespace brisquel
