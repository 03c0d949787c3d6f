#include "life_cycle.h"

#include "engine/answer_rules.h"
#include "support/words.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QStringTokenizer>
#include <QVarLengthArray>

namespace brisquel {

namespace {

// States from the most telling down: a name being restored may stay; one in redemption can still
// be redeemed by its holder; pendingDelete alone means days; "expired" is a guess from the date.
const QStringList StatePriority = {QStringLiteral("pendingRestore"), QStringLiteral("redemptionPeriod"),
                                   QStringLiteral("pendingDelete"), QStringLiteral("expired")};

// Short texts lowered on the stack: every line of every taken answer passes here.
using Lowered = QVarLengthArray<char16_t, 96>;

// Letters and digits only, lower case: "PENDING DELETE", "pending_delete" and "pendingDelete" meet.
void squeeze(QStringView text, Lowered* out)
{
    out->clear();
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            out->append(c.toLower().unicode());
    }
}

// The deletion state one status value names, or empty.
QString stateOfStatus(QStringView value)
{
    Lowered buffer;
    squeeze(value, &buffer);
    const QStringView status(buffer.constData(), buffer.size());
    if (status == QLatin1String("expired"))
        return StatePriority.at(3);
    // One pass over the value, looking closer only where a telling word may start.
    int found = -1; // index into StatePriority
    const auto at = [&status](qsizetype i, const char* word) {
        return status.mid(i).startsWith(QLatin1String(word));
    };
    for (qsizetype i = 0; i < status.size() && found != 0; ++i) {
        int state = -1;
        switch (status.at(i).unicode()) {
        case u'p':
            if (at(i, "pendingrestore"))
                state = 0;
            // .nz releases a cancelled name.
            else if (at(i, "pendingdelet") || at(i, "pendingrelease"))
                state = 2;
            break;
        // .nl and .be call their redemption a quarantine.
        case u'r':
        case u'q':
            if (at(i, "redemption") || at(i, "quarantine"))
                state = 1;
            break;
        // Nominet deletes a name its holder no longer requires.
        case u'n':
            if (at(i, "nolongerrequired"))
                state = 2;
            break;
        default:
            break;
        }
        if (state >= 0 && (found < 0 || state < found))
            found = state;
    }
    return found < 0 ? QString() : StatePriority.at(found);
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
    if (key == u"状態")
        return KeyKind::Status;
    if (key == u"有効期限")
        return KeyKind::Expiry;
    using L = QLatin1StringView;
    bool status = false;
    bool expiry = false;
    bool registrar = false;
    QStringView previous;
    qsizetype words = 0;
    forEachWord(key, [&](QStringView word) {
        ++words;
        status = status || wordStartsWith(word, L("status")) || isWord(word, L("state")) ||
                 isWord(word, L("flags"));
        expiry = expiry || wordStartsWith(word, L("expir")) || wordStartsWith(word, L("renew")) ||
                 (isWord(word, L("till")) && isWord(previous, L("paid"))) ||
                 (isWord(word, L("until")) && isWord(previous, L("valid")));
        registrar = registrar || isWord(word, L("registrar"));
        previous = word;
        return false;
    });
    // "State" and "Domain state" name a status; "State/Province" of a contact does not.
    if (status && (words <= 2 || !key.contains(u'/')))
        return KeyKind::Status;
    if (!expiry)
        return KeyKind::None;
    return registrar ? KeyKind::RegistrarExpiry : KeyKind::Expiry;
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
    // One pass each, without helpers: every line of every taken answer comes here.
    qsizetype begin = 0;
    while (begin < line.size() &&
           (line.at(begin).isSpace() || line.at(begin) == u'%' || line.at(begin) == u'#'))
        ++begin;
    const QStringView text = line.mid(begin);
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return false;
        field->key = text.mid(1, close - 1).trimmed();
        field->value = text.mid(close + 1).trimmed();
        return !field->key.isEmpty();
    }
    // The key ends at the first colon, or at the first digit when there is no colon before it
    // ("Expires on 2024/05/01", or a time's colon).
    constexpr qsizetype MaxKey = 48;
    qsizetype end = 0;
    qsizetype valueAt = 0;
    qsizetype spaces = 0;
    for (; end < text.size(); ++end) {
        const QChar c = text.at(end);
        if (c == u':' || c.isDigit()) {
            valueAt = c == u':' ? end + 1 : end;
            break;
        }
        spaces += c == u' ';
        // A key is a few words; a sentence ending in a colon is prose.
        if (end > MaxKey + 8 || spaces > 8)
            return false;
    }
    if (end == text.size())
        valueAt = end;
    QStringView key = text.left(end);
    while (!key.isEmpty() && (key.back() == u'.' || key.back().isSpace()))
        key.chop(1);
    field->key = key;
    field->value = text.mid(valueAt).trimmed();
    return !key.isEmpty() && key.size() <= MaxKey && key.count(u' ') <= 5;
}

// Registries' placeholders ("0001-01-01", "-0001-11-30", "9999-12-31") and misread digits are
// no dates: no name was registered before the first domains, and none is paid two centuries ahead.
QDate plausible(const QDate& date)
{
    static const QDate first(1985, 1, 1);
    static const QDate last(2200, 12, 31);
    return date >= first && date <= last ? date : QDate();
}

} // namespace

// "2030-08-13", with a time or not: how most registries write a date, read without an expression.
QDate isoDateAtStart(QStringView text)
{
    if (text.size() < 10 || text.at(4) != u'-' || text.at(7) != u'-')
        return {};
    const auto digits = [&text](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            if (!text.at(i).isDigit())
                return -1;
            value = value * 10 + text.at(i).digitValue();
        }
        return value;
    };
    if (text.size() > 10 && text.at(10).isDigit())
        return {};
    const int year = digits(0, 4);
    const int month = digits(5, 2);
    const int day = digits(8, 2);
    return year < 0 || month < 0 || day < 0 ? QDate() : plausible(QDate(year, month, day));
}

QDate readRegistryDate(const QString& text)
{
    if (const QDate quick = isoDateAtStart(QStringView(text).trimmed()); quick.isValid())
        return quick;
    static const QRegularExpression iso(QStringLiteral("(?<!\\d)(\\d{4})-(\\d{1,2})-(\\d{1,2})"));
    static const QRegularExpression yearFirst(
        QStringLiteral("(?<!\\d)(\\d{4})[./]\\s?(\\d{1,2})[./]\\s?(\\d{1,2})"));
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
            const QDate date = plausible(QDate(number(match, 1), number(match, 2), number(match, 3)));
            if (date.isValid())
                return date;
        }
    }
    if (const QRegularExpressionMatch match = dayMonthName.match(text); match.hasMatch()) {
        const QDate date =
            plausible(QDate(number(match, 3), monthOfName(match.captured(2)), number(match, 1)));
        if (date.isValid())
            return date;
    }
    if (const QRegularExpressionMatch match = monthNameDay.match(text); match.hasMatch()) {
        const QDate date =
            plausible(QDate(number(match, 3), monthOfName(match.captured(1)), number(match, 2)));
        if (date.isValid())
            return date;
    }
    if (const QRegularExpressionMatch match = numeric.match(text); match.hasMatch()) {
        // Registries write the day first; only a second number above 12 says it is the month's day.
        int day = number(match, 1);
        int month = number(match, 2);
        if (month > 12 && day <= 12)
            std::swap(day, month);
        return plausible(QDate(number(match, 3), month, day));
    }
    return {};
}

LifeCycle readWhoisLifeCycle(const QByteArray& answer, const QDate& today)
{
    LifeCycle cycle;
    QDate registrarExpiry;
    // Read as the judge reads it: JPRS writes its keys in ISO-2022-JP.
    const QString text = decodeAnswer(answer).text;
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
