#include "drop_rules.h"

#include "support/file_helpers.h"

#include <QFile>
#include <QStringList>

namespace brisquel {

namespace {

const QString DeliveredOrigin = QStringLiteral("drop-rules.txt (delivered)");

// Far beyond any registry's stage, and short enough that dates never overflow.
constexpr int MaxDays = 3650;

bool readDays(const QString& value, int* days)
{
    bool ok = false;
    const int read = value.toInt(&ok);
    if (!ok || read < 0 || read > MaxDays)
        return false;
    *days = read;
    return true;
}

// Sets the field `key` names; false with *problem for an unknown key or a bad value.
bool setField(DropRule* rule, const QString& key, const QString& value, QString* problem)
{
    int* days = key == QLatin1String("grace")           ? &rule->graceDays
                : key == QLatin1String("redemption")    ? &rule->redemptionDays
                : key == QLatin1String("pendingDelete") ? &rule->pendingDeleteDays
                : key == QLatin1String("quarantine")    ? &rule->quarantineDays
                                                        : nullptr;
    if (days) {
        if (readDays(value, days))
            return true;
        *problem = QStringLiteral("%1 needs a number of days from 0 to %2, not \"%3\"")
                       .arg(key)
                       .arg(MaxDays)
                       .arg(value);
        return false;
    }
    if (key == QLatin1String("drop")) {
        rule->dropTime = QTime::fromString(value, QStringLiteral("H:mm"));
        if (rule->dropTime.isValid())
            return true;
        *problem = QStringLiteral("drop needs a time of day such as 19:00, not \"%1\"").arg(value);
        return false;
    }
    *problem =
        QStringLiteral("unknown key \"%1\" (grace, redemption, pendingDelete, quarantine, drop, source)")
            .arg(key);
    return false;
}

bool isExtension(const QString& word)
{
    if (word.isEmpty() || word.startsWith(QLatin1Char('.')) || word.endsWith(QLatin1Char('.')))
        return false;
    return std::all_of(word.begin(), word.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-');
    });
}

} // namespace

QByteArray DropRules::shippedText()
{
    QFile file(QStringLiteral(":/data/drop-rules.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const DropRules& DropRules::shipped()
{
    static const DropRules rules = [] {
        DropRules loaded;
        loaded.load(shippedText(), DeliveredOrigin);
        return loaded;
    }();
    return rules;
}

std::shared_ptr<const DropRules> DropRules::deliveredWith(const QString& path, QList<Problem>* problems,
                                                          QString* error)
{
    auto rules = std::make_shared<DropRules>(shipped());
    if (!QFile::exists(path))
        return rules;
    if (const QString tooLarge = oversizeProblem(path, MaxFileBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge + QStringLiteral("; it is not read and the delivered lines are used.");
        return rules;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        rules->load(file.readAll(), QStringLiteral("drop-rules.txt"), problems);
    else if (error)
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return rules;
}

std::shared_ptr<const DropRules> DropRules::inFolderFile(const QString& path, QStringList* messages)
{
    QList<Problem> problems;
    QString error;
    std::shared_ptr<const DropRules> rules = deliveredWith(path, &problems, &error);
    if (!messages)
        return rules;
    if (!error.isEmpty())
        messages->append(error);
    for (const Problem& problem : std::as_const(problems))
        messages->append(QStringLiteral("%1, line %2: %3; the line is skipped")
                             .arg(problem.origin)
                             .arg(problem.lineNumber)
                             .arg(problem.message));
    return rules;
}

void DropRules::load(const QByteArray& text, const QString& origin, QList<Problem>* problems)
{
    const QList<QByteArray> lines = QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (i == 0 && line.startsWith(QChar(0xfeff)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString problem;
        if (!readLine(line, &problem) && problems)
            problems->append({origin, i + 1, problem});
    }
}

// A line is applied whole or not at all: half a rule would give wrong dates.
bool DropRules::readLine(const QString& line, QString* problem)
{
    DropRule rule;
    QStringList extensions;
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        if (equals < 0) {
            if (!isExtension(word)) {
                *problem = QStringLiteral("\"%1\" is neither an extension nor key=value").arg(word.left(60));
                return false;
            }
            extensions.append(word.toLower());
            continue;
        }
        const QString key = word.left(equals);
        if (key == QLatin1String("source")) {
            rule.source = (QStringList{word.mid(equals + 1)} + words.mid(i + 1)).join(QLatin1Char(' '));
            break;
        }
        if (!setField(&rule, key, word.mid(equals + 1), problem))
            return false;
    }
    if (extensions.isEmpty()) {
        *problem = QStringLiteral("the line names no extension");
        return false;
    }
    for (const QString& extension : std::as_const(extensions))
        m_byExtension.insert(extension, rule);
    return true;
}

const DropRule* DropRules::forName(const QString& domainOrExtension) const
{
    QStringView rest(domainOrExtension);
    while (!rest.isEmpty()) {
        const auto found = m_byExtension.constFind(rest.toString().toLower());
        if (found != m_byExtension.constEnd())
            return &found.value();
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        if (dot < 0)
            break;
        rest = rest.mid(dot + 1);
    }
    return nullptr;
}

} // namespace brisquel
