#include "life_cycle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QStringTokenizer>

namespace brisquel {

namespace {

// States from the most telling down: a name being restored may stay; one in redemption can still
// be redeemed by its holder; pendingDelete alone means days; "expired" is a guess from the date.
const QStringList StatePriority = {QStringLiteral("pendingRestore"), QStringLiteral("redemptionPeriod"),
                                   QStringLiteral("pendingDelete"), QStringLiteral("expired")};

// Letters and digits only, lower case: "PENDING DELETE", "pending_delete" and "pendingDelete" meet.
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

// The deletion state one status value names, or empty.
QString stateOfStatus(QStringView value)
{
    const QString status = squeezed(value);
    if (status.contains(QLatin1String("pendingrestore")))
        return StatePriority.at(0);
    // .nl and .be call their redemption a quarantine.
    if (status.contains(QLatin1String("redemption")) || status.contains(QLatin1String("quarantine")))
        return StatePriority.at(1);
    // .nz releases a cancelled name; Nominet deletes one its holder no longer requires.
    if (status.contains(QLatin1String("pendingdelet")) || status.contains(QLatin1String("pendingrelease")) ||
        status.contains(QLatin1String("nolongerrequired")))
        return StatePriority.at(2);
    if (status == QLatin1String("expired"))
        return StatePriority.at(3);
    return {};
}

void keepMoreTelling(QString* state, const QString& candidate)
{
    if (candidate.isEmpty())
        return;
    if (state->isEmpty() || StatePriority.indexOf(candidate) < StatePriority.indexOf(*state))
        *state = candidate;
}

int monthOfName(const QString& word)
{
    static const QStringList months = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                       QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                       QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                       QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    return int(months.indexOf(word.left(3).toLower())) + 1;
}

enum class KeyKind
{
    None,
    Status,
    Expiry,
    RegistrarExpiry // the registrar's copy of the date, which may lag the registry's
};

KeyKind kindOfKey(QStringView key)
{
    // Lowered once: case-blind searches cost more than the copy.
    const QString k = key.toString().toLower();
    const auto has = [&k](const char* word) {
        return k.contains(QLatin1String(word));
    };
    if (has("status") || k == QLatin1String("state") || k == QLatin1String("domain state") ||
        k == QLatin1String("flags") || k == u"状態")
        return KeyKind::Status;
    const bool expiry = has("expir") || has("paid-till") || has("paid till") || has("renew") ||
                        has("valid until") || k == u"有効期限";
    if (!expiry)
        return KeyKind::None;
    return has("registrar") ? KeyKind::RegistrarExpiry : KeyKind::Expiry;
}

// Views into the answer: most lines are passed over without a copy.
struct Field
{
    QStringView key;
    QStringView value;
};

// "Key: value", "key.......: value", "[Key]   value", "Record expires on 2024-05-01": the key and
// its value; false for lines without a key of a few words.
bool splitField(QStringView line, Field* field)
{
    QStringView text = line.trimmed();
    while (text.startsWith(QLatin1Char('%')) || text.startsWith(QLatin1Char('#')))
        text = text.mid(1).trimmed();
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        field->key = text.mid(1, close - 1).trimmed();
        field->value = text.mid(close + 1).trimmed();
        return !field->key.isEmpty();
    }
    qsizetype end = text.indexOf(QLatin1Char(':'));
    qsizetype valueAt = end + 1;
    // No colon before the value ("Expires on 2024/05/01"), or the colon is a time's.
    const auto firstDigit = std::find_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const qsizetype digitAt = firstDigit - text.begin();
    if (end < 0 || digitAt < end) {
        end = digitAt;
        valueAt = digitAt;
    }
    QStringView key = text.left(end).trimmed();
    while (key.endsWith(QLatin1Char('.')))
        key.chop(1);
    field->key = key.trimmed();
    field->value = text.mid(valueAt).trimmed();
    // A key is a few words; a sentence ending in a colon is prose.
    return !field->key.isEmpty() && field->key.size() <= 48 && field->key.count(QLatin1Char(' ')) <= 5;
}

} // namespace

QDate readRegistryDate(const QString& text)
{
    static const QRegularExpression iso(QStringLiteral("(\\d{4})-(\\d{1,2})-(\\d{1,2})"));
    static const QRegularExpression yearFirst(QStringLiteral("(\\d{4})[./]\\s?(\\d{1,2})[./]\\s?(\\d{1,2})"));
    static const QRegularExpression compact(QStringLiteral("\\b(\\d{4})(\\d{2})(\\d{2})\\b"));
    static const QRegularExpression dayMonthName(
        QStringLiteral("\\b(\\d{1,2})(?:st|nd|rd|th)?[-\\s./]+([A-Za-z]{3,9})[-\\s.,/]+(\\d{4})"));
    static const QRegularExpression monthNameDay(
        QStringLiteral("\\b([A-Za-z]{3,9})[-\\s.]+(\\d{1,2})(?:st|nd|rd|th)?,?\\s+(\\d{4})"));
    static const QRegularExpression numeric(QStringLiteral("\\b(\\d{1,2})[./-](\\d{1,2})[./-](\\d{4})"));
    const auto number = [](const QRegularExpressionMatch& match, int group) {
        return match.captured(group).toInt();
    };
    for (const QRegularExpression* yearMonthDay : {&iso, &yearFirst, &compact}) {
        const QRegularExpressionMatch match = yearMonthDay->match(text);
        if (match.hasMatch()) {
            const QDate date(number(match, 1), number(match, 2), number(match, 3));
            if (date.isValid())
                return date;
        }
    }
    if (const QRegularExpressionMatch match = dayMonthName.match(text); match.hasMatch()) {
        const QDate date(number(match, 3), monthOfName(match.captured(2)), number(match, 1));
        if (date.isValid())
            return date;
    }
    if (const QRegularExpressionMatch match = monthNameDay.match(text); match.hasMatch()) {
        const QDate date(number(match, 3), monthOfName(match.captured(1)), number(match, 2));
        if (date.isValid())
            return date;
    }
    if (const QRegularExpressionMatch match = numeric.match(text); match.hasMatch()) {
        // Registries write the day first; only a second number above 12 says it is the month's day.
        int day = number(match, 1);
        int month = number(match, 2);
        if (month > 12 && day <= 12)
            std::swap(day, month);
        return QDate(number(match, 3), month, day);
    }
    return {};
}

LifeCycle readWhoisLifeCycle(const QByteArray& answer, const QDate& today)
{
    LifeCycle cycle;
    QDate registrarExpiry;
    const QString text = QString::fromUtf8(answer);
    // Lines end in LF or CR LF, or in CR alone.
    const QChar end = text.contains(QLatin1Char('\n')) ? QLatin1Char('\n') : QLatin1Char('\r');
    QList<QStringView> lines;
    for (QStringView line : QStringTokenizer(text, end))
        lines.append(line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Field field;
        if (!splitField(lines.at(i), &field))
            continue;
        const KeyKind kind = kindOfKey(field.key);
        if (kind == KeyKind::None)
            continue;
        // Nominet's style: the key on a line of its own, the value indented below it.
        if (field.value.isEmpty() && i + 1 < lines.size())
            field.value = lines.at(i + 1).trimmed();
        if (kind == KeyKind::Status) {
            keepMoreTelling(&cycle.state, stateOfStatus(field.value));
            continue;
        }
        const QDate date = readRegistryDate(field.value.toString());
        if (kind == KeyKind::RegistrarExpiry) {
            if (!registrarExpiry.isValid())
                registrarExpiry = date;
        } else if (!cycle.expires.isValid()) {
            cycle.expires = date;
        }
    }
    if (!cycle.expires.isValid())
        cycle.expires = registrarExpiry;
    if (cycle.state.isEmpty() && cycle.expires.isValid() && cycle.expires < today)
        cycle.state = StatePriority.at(3);
    return cycle;
}

LifeCycle readRdapLifeCycle(const QByteArray& body, const QDate& today)
{
    LifeCycle cycle;
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    for (const QJsonValue& status : object.value(QLatin1String("status")).toArray())
        keepMoreTelling(&cycle.state, stateOfStatus(status.toString()));
    for (const QJsonValue& value : object.value(QLatin1String("events")).toArray()) {
        const QJsonObject event = value.toObject();
        if (event.value(QLatin1String("eventAction"))
                .toString()
                .compare(QLatin1String("expiration"), Qt::CaseInsensitive) == 0) {
            cycle.expires = readRegistryDate(event.value(QLatin1String("eventDate")).toString());
            break;
        }
    }
    if (cycle.state.isEmpty() && cycle.expires.isValid() && cycle.expires < today)
        cycle.state = StatePriority.at(3);
    return cycle;
}

} // namespace brisquel
