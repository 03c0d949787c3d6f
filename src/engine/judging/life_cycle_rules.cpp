#include "life_cycle_rules.h"

#include "support/file_helpers.h"

#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <algorithm>
#include <bitset>
#include <limits>

namespace brisquel {

namespace {

// Squeezed phrases looked for inside squeezed keys and values. Every field line of every taken
// answer is looked through, so the phrases' first two letters are kept in a set: only where a
// pair of the text is in it does a comparison start.
class Phrases
{
public:
    void append(const QString& phrase, const QString& tag = QString())
    {
        m_phrases.append({phrase, tag});
        m_starts.set(pairOf(phrase.at(0), phrase.size() > 1 ? phrase.at(1) : QChar()));
        m_shortest = std::min(m_shortest, phrase.size());
    }

    // The tag of the first phrase in `text`, or null.
    const QString* find(QStringView text) const
    {
        for (qsizetype i = 0; i + m_shortest <= text.size(); ++i) {
            if (!m_starts.test(pairOf(text.at(i), i + 1 < text.size() ? text.at(i + 1) : QChar())))
                continue;
            for (const auto& [phrase, tag] : m_phrases) {
                if (text.mid(i).startsWith(phrase))
                    return &tag;
            }
        }
        return nullptr;
    }

private:
    static size_t pairOf(QChar first, QChar second)
    {
        return (first.unicode() * 31u + second.unicode()) % 1024;
    }

    QList<std::pair<QString, QString>> m_phrases;
    std::bitset<1024> m_starts;
    qsizetype m_shortest = std::numeric_limits<qsizetype>::max();
};

} // namespace

struct LifeCycleRules::Section
{
    DateOrder order = DateOrder::Unknown;
    Phrases expiryKeys;
    Phrases statusKeys;
    Phrases wordings; // tagged with their states
};

namespace {

const QString GenericHost = QStringLiteral("*");

const QStringList States = {QStringLiteral("pendingDelete"), QStringLiteral("redemptionPeriod"),
                            QStringLiteral("pendingRestore")};

// "dd/mm/yyyy", "MM-DD-YY", "yy.mm.dd": the order its parts name, Unknown for anything else.
LifeCycleRules::DateOrder orderOfPattern(const QString& pattern)
{
    static const QRegularExpression parts(
        QStringLiteral("^(d{1,2}|m{1,2}|y{2,4})[/.\\- ](d{1,2}|m{1,2}|y{2,4})"
                       "[/.\\- ](d{1,2}|m{1,2}|y{2,4})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = parts.match(pattern);
    if (!match.hasMatch())
        return LifeCycleRules::DateOrder::Unknown;
    QString letters;
    for (int group = 1; group <= 3; ++group)
        letters += match.captured(group).at(0).toLower();
    if (letters == QLatin1String("dmy"))
        return LifeCycleRules::DateOrder::DayFirst;
    if (letters == QLatin1String("mdy"))
        return LifeCycleRules::DateOrder::MonthFirst;
    if (letters == QLatin1String("ymd"))
        return LifeCycleRules::DateOrder::YearFirst;
    return LifeCycleRules::DateOrder::Unknown;
}

QMutex& installedLock()
{
    static QMutex lock;
    return lock;
}

std::shared_ptr<const LifeCycleRules>& installed()
{
    static std::shared_ptr<const LifeCycleRules> rules;
    return rules;
}

} // namespace

QString squeezed(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            out.append(c.toLower());
    }
    return out;
}

LifeCycleRules::LifeCycleRules()
    : m_generic(std::make_shared<Section>())
{
    m_sections.push_back(m_generic);
}

LifeCycleRules::~LifeCycleRules() = default;

QByteArray LifeCycleRules::shippedText()
{
    QFile file(QStringLiteral(":/data/life-cycle.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const LifeCycleRules& LifeCycleRules::shipped()
{
    static const std::shared_ptr<const LifeCycleRules> rules = [] {
        auto loaded = std::make_shared<LifeCycleRules>();
        loaded->load(shippedText(), QStringLiteral("life-cycle.txt (delivered)"));
        return loaded;
    }();
    return *rules;
}

std::shared_ptr<const LifeCycleRules> LifeCycleRules::deliveredWith(const QString& path,
                                                                    QList<Problem>* problems, QString* error)
{
    auto rules = std::make_shared<LifeCycleRules>();
    rules->load(shippedText(), QStringLiteral("life-cycle.txt (delivered)"), problems);
    if (!QFile::exists(path))
        return rules;
    if (const QString tooLarge = oversizeProblem(path, MaxFileBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge + QStringLiteral("; it is not read and the delivered lines are used.");
        return rules;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        rules->load(file.readAll(), QStringLiteral("life-cycle.txt"), problems);
    else if (error)
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return rules;
}

std::shared_ptr<const LifeCycleRules> LifeCycleRules::current()
{
    QMutexLocker locker(&installedLock());
    if (!installed())
        // The delivered rules live as long as the program: an owner that never frees them.
        installed() = std::shared_ptr<const LifeCycleRules>(&shipped(), [](const LifeCycleRules*) {});
    return installed();
}

void LifeCycleRules::install(std::shared_ptr<const LifeCycleRules> rules)
{
    QMutexLocker locker(&installedLock());
    installed() = std::move(rules);
}

void LifeCycleRules::load(const QByteArray& text, const QString& origin, QList<Problem>* problems)
{
    m_current = {m_generic};
    const QList<QByteArray> lines = QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i)).trimmed();
        // A byte-order mark that an editor put before the first line.
        if (i == 0 && line.startsWith(QChar(0xfeff)))
            line = line.mid(1).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            readLine(line, i + 1, origin, problems);
    }
}

void LifeCycleRules::readLine(const QString& line, int lineNumber, const QString& origin,
                              QList<Problem>* problems)
{
    const auto report = [&](const QString& message) {
        if (problems)
            problems->append({origin, lineNumber, message});
    };
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
        const QStringList hosts =
            line.mid(1, line.size() - 2).toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        m_current.clear();
        if (hosts.isEmpty())
            report(QStringLiteral("a section names no server; its lines are skipped"));
        for (const QString& host : hosts) {
            if (host == GenericHost) {
                m_current.append(m_generic);
                continue;
            }
            std::shared_ptr<Section>& section = m_byHost[host];
            if (!section) {
                section = std::make_shared<Section>();
                m_sections.push_back(section);
            }
            m_current.append(section);
        }
        return;
    }
    const qsizetype space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
    const QString kind = line.left(space);
    const QString text = space < 0 ? QString() : line.mid(space).trimmed();
    const QString words = squeezed(text);
    if (m_current.isEmpty())
        return; // a section without servers, reported once at its head
    if (words.isEmpty()) {
        report(QStringLiteral("\"%1\" needs words after it").arg(line.left(60)));
        return;
    }
    if (kind == QLatin1String("dates")) {
        const DateOrder order = orderOfPattern(text);
        if (order == DateOrder::Unknown) {
            report(QStringLiteral("not a date order: \"%1\" (dd/mm/yyyy, mm/dd/yyyy or yy/mm/dd)")
                       .arg(text.left(60)));
            return;
        }
        for (const auto& section : std::as_const(m_current))
            section->order = order;
    } else if (kind == QLatin1String("expiry") || kind == QLatin1String("status")) {
        for (const auto& section : std::as_const(m_current))
            (kind == QLatin1String("expiry") ? section->expiryKeys : section->statusKeys).append(words);
    } else if (States.contains(kind)) {
        for (const auto& section : std::as_const(m_current))
            section->wordings.append(words, kind);
    } else {
        report(QStringLiteral("not a life-cycle line: \"%1\" (dates, expiry, status, pendingDelete, "
                              "redemptionPeriod or pendingRestore, then its words)")
                   .arg(line.left(60)));
    }
}

LifeCycleRules::ForServer LifeCycleRules::forServer(const QString& server) const
{
    ForServer view;
    view.m_generic = m_generic.get();
    if (!server.isEmpty())
        view.m_own = m_byHost.value(server.trimmed().toLower()).get();
    return view;
}

LifeCycleRules::DateOrder LifeCycleRules::ForServer::dateOrder() const
{
    if (m_own && m_own->order != DateOrder::Unknown)
        return m_own->order;
    return m_generic ? m_generic->order : DateOrder::Unknown;
}

bool LifeCycleRules::ForServer::isExpiryKey(QStringView key) const
{
    return (m_own && m_own->expiryKeys.find(key)) || (m_generic && m_generic->expiryKeys.find(key));
}

bool LifeCycleRules::ForServer::isStatusKey(QStringView key) const
{
    return (m_own && m_own->statusKeys.find(key)) || (m_generic && m_generic->statusKeys.find(key));
}

QString LifeCycleRules::ForServer::stateOf(QStringView value) const
{
    for (const Section* section : {m_own, m_generic}) {
        if (!section)
            continue;
        if (const QString* state = section->wordings.find(value))
            return *state;
    }
    return {};
}

} // namespace brisquel
