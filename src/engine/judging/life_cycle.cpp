#include "life_cycle.h"

#include "engine/judging/answer_rules.h"
#include "engine/judging/drop_estimate.h"
#include "support/words.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QStringTokenizer>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <optional>

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
        // ASCII without the character tables: nearly every key and status is ASCII.
        if (c.unicode() < 0x80) {
            const char16_t lower = asciiLower(c).unicode();
            if ((lower >= u'a' && lower <= u'z') || (lower >= u'0' && lower <= u'9'))
                out->append(lower);
        } else if (c.isLetterOrNumber()) {
            out->append(c.toLower().unicode());
        }
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
    // Expiry dates from the most trusted down; the first of these kinds with a date is the expiry.
    Expiry,
    RegistrarExpiry, // the registrar's copy of the date, which may lag the registry's
    StatusUntil,     // a status that holds its date: "OK-UNTIL 20251218", "Connected (2025/09/30)"
    Renewal          // "Renewal date": the renewal due, where no key names the expiry
};
constexpr int DateKinds = 4;

// What the key of a "key: value" line names; `value` tells keys that cannot give a date apart.
KeyKind kindOfKey(QStringView key, QStringView value, const LifeCycleRules::ForServer& rules)
{
    if (key == u"状態")
        return KeyKind::Status;
    if (key == u"有効期限")
        return KeyKind::Expiry;
    using L = QLatin1StringView;
    bool status = false;
    bool expiry = false;
    bool registrar = false;
    bool renewal = false;
    bool notExpiry = false;
    QStringView previous;
    forEachWord(key, [&](QStringView word) {
        status = status || wordStartsWith(word, L("status")) || isWord(word, L("state")) ||
                 isWord(word, L("flags"));
        expiry = expiry || wordStartsWith(word, L("expir")) ||
                 (isWord(word, L("till")) && isWord(previous, L("paid"))) ||
                 (isWord(word, L("until")) && isWord(previous, L("valid")));
        // "Renew date" and "Renewed" are the last renewal; "Renewal date" the one due.
        notExpiry = notExpiry || isWord(word, L("renew")) || isWord(word, L("renewed")) ||
                    (wordStartsWith(word, L("renew")) && isWord(previous, L("last")));
        renewal = renewal || wordStartsWith(word, L("renewal"));
        // .pl's "option expiration date" ends an option to register the name, not the name.
        notExpiry = notExpiry || isWord(word, L("option"));
        registrar = registrar || isWord(word, L("registrar"));
        previous = word;
        return false;
    });
    Lowered buffer;
    squeeze(key, &buffer);
    const QStringView squeezedKey(buffer.constData(), buffer.size());
    if (status || rules.isStatusKey(squeezedKey)) {
        // "Domain state" and "Estado / Status" name a status; a contact's "State/Province" does not.
        if (!key.contains(u'/') || key.contains(QLatin1String(" / ")))
            return KeyKind::Status;
    }
    if (notExpiry)
        return KeyKind::None;
    // A date has digits; an empty value may have it on the next line.
    const auto mayHoldDate = [&value] {
        return value.isEmpty() ||
               std::any_of(value.begin(), value.end(), [](QChar c) { return c.isDigit(); });
    };
    if (expiry || (mayHoldDate() && rules.isExpiryKey(squeezedKey)))
        return registrar ? KeyKind::RegistrarExpiry : KeyKind::Expiry;
    return renewal ? KeyKind::Renewal : KeyKind::None;
}

// Views into the answer: most lines are passed over without a copy.
struct Field
{
    QStringView key;
    QStringView value;
};

// Where the key of a field line ends: at the first colon, or at the first digit when there is no
// colon before it ("Expires on 2024/05/01", or a time's colon); *valueAt is where its value starts.
// -1 for prose: a key is a few words, a sentence ending in a colon is prose. Runs of spaces count
// once, so that keys padded into a column are still a few words, and a bilingual key ("Data de
// expiração / Expiration Date (dd/mm/yyyy)") is counted a half at a time, without the format in
// brackets.
qsizetype keyEnd(QStringView text, qsizetype* valueAt)
{
    constexpr qsizetype MaxKey = 64;
    constexpr qsizetype MaxPadding = 160; // a key padded into a wide column, no further
    constexpr int MostGaps = 5;
    qsizetype padding = 0;
    int gaps = 0;
    int depth = 0;
    for (qsizetype end = 0; end < text.size(); ++end) {
        const char16_t c = text.at(end).unicode();
        if (c == u':' || (c >= u'0' && c <= u'9') || (c > 0x7f && text.at(end).isDigit())) {
            *valueAt = c == u':' ? end + 1 : end;
            return end;
        }
        const char16_t previous = end > 0 ? text.at(end - 1).unicode() : u' ';
        if (c == u' ') {
            if (previous == u' ')
                ++padding;
            else if (depth == 0 && ++gaps > MostGaps)
                return -1;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            depth -= depth > 0;
        } else if (c == u'/' && previous == u' ') {
            gaps = -1; // the gap before the slash belongs to the next half
        }
        if (end - padding > MaxKey || padding > MaxPadding)
            return -1;
    }
    *valueAt = text.size();
    return text.size();
}

// "Key: value", "key.......: value", "Key       : value", "[Key]   value", "d [Key]   value",
// "Record expires on 2024-05-01": the key and its value; false for lines without a key of a few
// words.
bool splitField(QStringView line, Field* field)
{
    // One pass each, without copies: every line of every taken answer comes here.
    qsizetype begin = 0;
    while (begin < line.size() &&
           (line.at(begin).isSpace() || line.at(begin) == u'%' || line.at(begin) == u'#'))
        ++begin;
    QStringView text = line.mid(begin);
    // MYNIC letters its bracketed keys: "d [Record Expired]".
    if (text.size() > 3 && text.at(0).isLetterOrNumber() && text.at(1) == u' ' && text.at(2) == u'[')
        text = text.mid(2);
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return false;
        field->key = text.mid(1, close - 1).trimmed();
        field->value = text.mid(close + 1).trimmed();
        return !field->key.isEmpty();
    }
    qsizetype valueAt = 0;
    const qsizetype end = keyEnd(text, &valueAt);
    if (end < 0)
        return false;
    QStringView key = text.left(end);
    while (!key.isEmpty() && (key.back() == u'.' || key.back().isSpace()))
        key.chop(1);
    field->key = key;
    field->value = text.mid(valueAt).trimmed();
    return !key.isEmpty();
}

// Registries' placeholders ("0001-01-01", "-0001-11-30", "9999-12-31") and misread digits are
// no dates: no name was registered before the first domains, and none is paid two centuries ahead.
QDate plausible(const QDate& date)
{
    static const QDate first(1985, 1, 1);
    static const QDate last(2200, 12, 31);
    return date >= first && date <= last ? date : QDate();
}

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

using DateOrder = LifeCycleRules::DateOrder;

// "01/02/2025" and its kin: day or month first, a two- or four-digit year last.
const QRegularExpression& numericDate()
{
    static const QRegularExpression numeric(
        QStringLiteral("(?<![\\d/.\\-])(\\d{1,2})([./\\-])(\\d{1,2})\\2(\\d{4}|\\d{2})(?![\\d/.\\-]?\\d)"));
    return numeric;
}

int fullYear(const QString& digits)
{
    const int year = digits.toInt();
    if (digits.size() != 2)
        return year;
    return year >= 85 ? 1900 + year : 2000 + year;
}

// A numeric date in `order`. *orderNeeded when both first parts could be the month: without an
// order such a date is none, except a dotted one, which is day first everywhere.
QDate numericDateOf(const QRegularExpressionMatch& match, DateOrder order, bool* orderNeeded)
{
    const int first = match.captured(1).toInt();
    const int second = match.captured(3).toInt();
    const QString yearDigits = match.captured(4);
    if (order == DateOrder::YearFirst && yearDigits.size() == 2)
        return plausible(QDate(fullYear(match.captured(1)), second, yearDigits.toInt()));
    int day = first;
    int month = second;
    if (first > 12 || second > 12 || first == second) {
        // One reading only: the part above 12 is the day.
        if (second > 12)
            std::swap(day, month);
    } else {
        // "03/08/2025" is the 3rd of August to some registries and the 8th of March to others.
        if (orderNeeded)
            *orderNeeded = true;
        if (order == DateOrder::MonthFirst)
            std::swap(day, month);
        else if (order != DateOrder::DayFirst && match.captured(2) != QLatin1String("."))
            return {};
    }
    return plausible(QDate(fullYear(yearDigits), month, day));
}

QDate readDate(QStringView text, DateOrder order, bool* orderNeeded)
{
    if (const QDate quick = isoDateAtStart(text.trimmed()); quick.isValid())
        return quick;
    static const QRegularExpression iso(QStringLiteral("(?<!\\d)(\\d{4})-(\\d{1,2})-(\\d{1,2})(?!\\d)"));
    static const QRegularExpression yearFirst(
        QStringLiteral("(?<!\\d)(\\d{4})[./]\\s?(\\d{1,2})[./]\\s?(\\d{1,2})(?!\\d)"));
    // With a time after it in the same run of digits: "20251218000000".
    static const QRegularExpression compact(
        QStringLiteral("(?<!\\d)(\\d{4})(\\d{2})(\\d{2})(?:\\d{4}|\\d{6})?(?!\\d)"));
    static const QRegularExpression yearMonthName(
        QStringLiteral("(?<!\\d)(\\d{4})[-\\s./]([A-Za-z]{3,9})[-\\s./](\\d{1,2})(?!\\d)"));
    static const QRegularExpression dayMonthName(
        QStringLiteral("\\b(\\d{1,2})(?:st|nd|rd|th)?[-\\s./]+([A-Za-z]{3,9})[-\\s.,/]+(\\d{4})"));
    static const QRegularExpression monthNameDay(
        QStringLiteral("\\b([A-Za-z]{3,9})[-\\s.]+(\\d{1,2})(?:st|nd|rd|th)?,?\\s+(\\d{4})"));
    // The C library's way: "Fri Apr 25 23:59:59 GMT 2025", "Sun Mar 30 23:59:00 2025".
    static const QRegularExpression monthNameDayTimeYear(
        QStringLiteral("\\b([A-Za-z]{3,9})\\s+(\\d{1,2})\\s+\\d{1,2}:\\d{2}(?::\\d{2})?(?:\\s+[A-Za-z]{2,5}(?"
                       ":[+-]\\d{1,4})?)?\\s+(\\d{4})\\b"));
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
    if (const QRegularExpressionMatch match = yearMonthName.match(text); match.hasMatch()) {
        const QDate date =
            plausible(QDate(number(match, 1), monthOfName(match.captured(2)), number(match, 3)));
        if (date.isValid())
            return date;
    }
    if (const QRegularExpressionMatch match = dayMonthName.match(text); match.hasMatch()) {
        const QDate date =
            plausible(QDate(number(match, 3), monthOfName(match.captured(2)), number(match, 1)));
        if (date.isValid())
            return date;
    }
    for (const QRegularExpression* monthDayYear : {&monthNameDay, &monthNameDayTimeYear}) {
        const QRegularExpressionMatch match = monthDayYear->match(text);
        if (match.hasMatch()) {
            const QDate date =
                plausible(QDate(number(match, 3), monthOfName(match.captured(1)), number(match, 2)));
            if (date.isValid())
                return date;
        }
    }
    if (const QRegularExpressionMatch match = numericDate().match(text); match.hasMatch())
        return numericDateOf(match, order, orderNeeded);
    return {};
}

// The order a line names for its dates: "Expiration Date (dd/mm/yyyy)", "03/08/2025 (MM/DD/YYYY)".
DateOrder orderNamedIn(QStringView line)
{
    if (!line.contains(QLatin1String("dd"), Qt::CaseInsensitive))
        return DateOrder::Unknown;
    // Not the month and day of "yyyy-mm-dd", whose year comes first.
    static const QRegularExpression named(
        QStringLiteral("(?<![a-z][/.\\-])\\b(dd|mm)[/.\\-](mm|dd)[/.\\-]yy"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = named.match(line);
    if (!match.hasMatch() || match.captured(1).compare(match.captured(2), Qt::CaseInsensitive) == 0)
        return DateOrder::Unknown;
    return match.captured(1).compare(QLatin1String("dd"), Qt::CaseInsensitive) == 0 ? DateOrder::DayFirst
                                                                                    : DateOrder::MonthFirst;
}

// The order the answer's own numeric dates show: a day above 12 in front ("25/03/2001") or behind
// ("12/18/2001"). Unknown when none shows it, or when they disagree.
DateOrder orderShownBy(QStringView text)
{
    bool dayFirst = false;
    bool monthFirst = false;
    QRegularExpressionMatchIterator it = numericDate().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const int first = match.captured(1).toInt();
        const int second = match.captured(3).toInt();
        if (!plausible(QDate(fullYear(match.captured(4)), 1, 1)).isValid())
            continue;
        dayFirst = dayFirst || (first > 12 && first <= 31 && second >= 1 && second <= 12);
        monthFirst = monthFirst || (second > 12 && second <= 31 && first >= 1 && first <= 12);
    }
    if (dayFirst == monthFirst)
        return DateOrder::Unknown;
    return dayFirst ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

// The date a status value holds for the name: "OK-UNTIL 20251218000000", "Registered until
// 2025-01-01", JPRS's "Connected (2025/09/30)"; empty when it holds none.
QStringView heldUntil(QStringView value)
{
    for (const QLatin1StringView word : {QLatin1StringView("until"), QLatin1StringView("till")}) {
        const qsizetype at = value.indexOf(word, 0, Qt::CaseInsensitive);
        if (at >= 0)
            return value.mid(at + word.size());
    }
    const qsizetype open = value.indexOf(u'(');
    if (open < 0 || open + 1 >= value.size() || !value.at(open + 1).isDigit())
        return {};
    const QStringView before = value.left(open).trimmed();
    for (const char* standing : {"connected", "active", "registered", "ok"}) {
        if (before.compare(QLatin1StringView(standing), Qt::CaseInsensitive) == 0)
            return value.mid(open + 1);
    }
    return {};
}

// A value that may hold the expiry, and the date order its own line names.
struct DateCandidate
{
    QStringView text;
    DateOrder named;
};

using DateCandidates = std::array<QVarLengthArray<DateCandidate, 2>, DateKinds>;

// Lines end in LF or CR LF, or in CR alone.
QList<QStringView> answerLines(const QString& text)
{
    const QChar end = text.contains(QLatin1Char('\n')) ? QLatin1Char('\n') : QLatin1Char('\r');
    QList<QStringView> lines;
    for (QStringView line : QStringTokenizer(text, end))
        lines.append(line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
    return lines;
}

// A status field: the most telling state it names, and a date it holds the name until.
void readStatus(QStringView value, const LifeCycleRules::ForServer& own, QString* state,
                DateCandidates* candidates)
{
    keepMoreTelling(state, stateOfStatus(value));
    if (*state != StatePriority.at(0)) {
        Lowered buffer;
        squeeze(value, &buffer);
        keepMoreTelling(state, own.stateOf(QStringView(buffer.constData(), buffer.size())));
    }
    if (const QStringView until = heldUntil(value); !until.isEmpty())
        (*candidates)[int(KeyKind::StatusUntil) - int(KeyKind::Expiry)].append({until, orderNamedIn(value)});
}

// The state the status fields name, and the dates of the fields that may hold the expiry, by kind.
void readFields(const QList<QStringView>& lines, const LifeCycleRules::ForServer& own, QString* state,
                DateCandidates* candidates)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Field field;
        if (!splitField(lines.at(i), &field))
            continue;
        const KeyKind kind = kindOfKey(field.key, field.value, own);
        if (kind == KeyKind::None)
            continue;
        // Nominet's style: the key on a line of its own, the value indented below it.
        if (field.value.isEmpty() && i + 1 < lines.size())
            field.value = lines.at(i + 1).trimmed();
        if (kind == KeyKind::Status) {
            readStatus(field.value, own, state, candidates);
            continue;
        }
        DateOrder named = orderNamedIn(field.key);
        if (named == DateOrder::Unknown)
            named = orderNamedIn(field.value);
        (*candidates)[int(kind) - int(KeyKind::Expiry)].append({field.value, named});
    }
}

// The first date of the most trusted kind. A numeric date that needs an order and whose line names
// none is read in the server's order or in the one the answer's other dates show; where the two
// disagree, or neither is known, it is no date.
QDate firstTrustedDate(const DateCandidates& candidates, const QString& text, DateOrder serverOrder)
{
    std::optional<DateOrder> shown;
    for (const auto& kind : candidates) {
        for (const DateCandidate& candidate : kind) {
            const bool named = candidate.named != DateOrder::Unknown;
            bool orderNeeded = false;
            QDate date = readDate(candidate.text, named ? candidate.named : serverOrder, &orderNeeded);
            if (orderNeeded && !named) {
                if (!shown)
                    shown = orderShownBy(text);
                if (serverOrder != DateOrder::Unknown && *shown != DateOrder::Unknown &&
                    *shown != serverOrder)
                    date = QDate();
                else if (serverOrder == DateOrder::Unknown && *shown != DateOrder::Unknown)
                    date = readDate(candidate.text, *shown, nullptr);
            }
            if (date.isValid())
                return date;
        }
    }
    return QDate();
}

} // namespace

QDate readRegistryDate(const QString& text, LifeCycleRules::DateOrder order)
{
    return readDate(text, order, nullptr);
}

LifeCycle readWhoisLifeCycle(const QByteArray& answer, const QDate& today, const QString& server,
                             const LifeCycleRules* rules)
{
    std::shared_ptr<const LifeCycleRules> inForce;
    if (!rules) {
        inForce = LifeCycleRules::current();
        rules = inForce.get();
    }
    const LifeCycleRules::ForServer own = rules->forServer(server);
    LifeCycle cycle;
    // Read as the judge reads it: JPRS writes its keys in ISO-2022-JP.
    const QString text = decodeAnswer(answer).text;
    DateCandidates candidates;
    readFields(answerLines(text), own, &cycle.state, &candidates);
    cycle.expires = firstTrustedDate(candidates, text, own.dateOrder());
    cycle.updated = readWhoisLastUpdate(text, own.dateOrder());
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
        const QString action = event.value(QLatin1String("eventAction")).toString().toLower();
        const QDate date = readRegistryDate(event.value(QLatin1String("eventDate")).toString());
        if (action == QLatin1String("expiration") && !cycle.expires.isValid())
            cycle.expires = date;
        else if (action == QLatin1String("last changed") && !cycle.updated.isValid())
            cycle.updated = date;
    }
    if (cycle.state.isEmpty() && cycle.expires.isValid() && cycle.expires < today)
        cycle.state = StatePriority.at(3);
    return cycle;
}

} // namespace brisquel
