#include "decision_view.h"

#include "engine/names/name_mask.h"
#include "support/words.h"

#include <QStringList>
#include <QStringTokenizer>
#include <string_view>

namespace brisquel {

namespace {

// Whether `c` is one of the ASCII characters in `set`: a switch the compiler makes of a few compares,
// where a string search would be called per character.
constexpr bool isOneOf(QChar c, std::u16string_view set)
{
    return set.find(c.unicode()) != std::u16string_view::npos;
}

// A field's name ("Registrar", "Creation Date", "nserver") when the line starts with one: up to 40
// letters, digits, blanks, dots or hyphens before a colon or a dotted leader. Empty otherwise.
QStringView fieldName(QStringView line)
{
    constexpr qsizetype MaxName = 40;
    for (qsizetype i = 0; i < line.size() && i <= MaxName; ++i) {
        const QChar c = line.at(i);
        if (c == u':' || (c == u'.' && i + 1 < line.size() && line.at(i + 1) == u'.'))
            return line.left(i).trimmed();
        if (!(c.isLetterOrNumber() || c == u' ' || c == u'\t' || c == u'.' || c == u'-' || c == u'_'))
            return {};
    }
    return {};
}

// The values of record fields say nothing about whether the name is free: "Registrar: not found"
// is a placeholder. Fields that carry a verdict (status, result, error) stay.
bool isRecordField(QStringView name)
{
    using L = QLatin1StringView;
    static const WordSet verdictWords = {"status", "state",   "result", "availability",
                                         "error",  "message", "answer", "query"};
    // First words of the fields of a record.
    static const WordSet recordWords = {"registrar",  "registrant",   "admin",        "administrative",
                                        "tech",       "technical",    "billing",      "holder",
                                        "owner",      "contact",      "nameserver",   "nameservers",
                                        "nserver",    "nservers",     "dns",          "created",
                                        "creation",   "updated",      "changed",      "last",
                                        "registered", "registration", "dnssec",       "email",
                                        "e",          "phone",        "fax",          "address",
                                        "org",        "organisation", "organization", "person",
                                        "descr",      "country",      "city",         "remark",
                                        "remarks",    "source",       "reseller",     "registry",
                                        "expir*",     "sponsor*"};
    QStringView first;
    QStringView second;
    const bool carriesVerdict = forEachWord(name, [&](QStringView word) {
        if (verdictWords.contains(word))
            return true;
        if (first.isNull())
            first = word;
        else if (second.isNull())
            second = word;
        return false;
    });
    if (carriesVerdict)
        return false;
    if (first.isNull())
        return false;
    if (isWord(first, L("name")))
        return wordStartsWith(second, L("server"));
    return recordWords.contains(first);
}

qsizetype commentMarks(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size() && isOneOf(line.at(i), u" \t%#*>;|"))
        ++i;
    return i;
}

qsizetype skipSpaces(QStringView text, qsizetype i)
{
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

// A sign and up to six digits at i: where they end, i when there are none.
qsizetype skipNumber(QStringView text, qsizetype i)
{
    qsizetype j = i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+') ? i + 1 : i;
    const qsizetype first = j;
    while (j < text.size() && text.at(j).isDigit() && j - first < 6)
        ++j;
    return j > first ? j : i;
}

// "Error", "ERROR:101:", "error 230" at `at`: where the message after it starts; `at` when there is none.
qsizetype afterErrorCode(QStringView sentence, qsizetype at)
{
    const qsizetype size = sentence.size();
    const QStringView rest = sentence.mid(at);
    const qsizetype word = rest.startsWith(QLatin1String("error"), Qt::CaseInsensitive) ? 5
                           : rest.startsWith(QLatin1String("err"), Qt::CaseInsensitive) ? 3
                                                                                        : 0;
    if (word == 0 || (at + word < size && sentence.at(at + word).isLetter()))
        return at;
    qsizetype i = skipSpaces(sentence, at + word);
    while (i < size && (sentence.at(i) == u':' || sentence.at(i) == u'#'))
        i = skipSpaces(sentence, i + 1);
    const qsizetype digits = skipNumber(sentence, i);
    if (digits > i) {
        i = skipSpaces(sentence, digits);
        if (i < size && isOneOf(sentence.at(i), u":.)]"))
            ++i;
    }
    return skipSpaces(sentence, i);
}

// "-3:", "101 :" at `at`: where the message after it starts; `at` when there is none.
qsizetype afterNumberedCode(QStringView sentence, qsizetype at)
{
    const qsizetype digits = skipNumber(sentence, at);
    if (digits == at)
        return at;
    const qsizetype colon = skipSpaces(sentence, digits);
    return colon < sentence.size() && sentence.at(colon) == u':' ? skipSpaces(sentence, colon + 1) : at;
}

// "whois.example.nl: " at `at`: where the message after it starts; `at` when there is none.
qsizetype afterServerName(QStringView sentence, qsizetype at)
{
    const qsizetype size = sentence.size();
    const auto isAsciiAlnum = [](QChar c) {
        return c.unicode() < 0x80 && c.isLetterOrNumber();
    };
    qsizetype i = at;
    int dots = 0;
    while (i < size &&
           (isAsciiAlnum(sentence.at(i)) || sentence.at(i) == u'-' ||
            (sentence.at(i) == u'.' && i > at && i + 1 < size && isAsciiAlnum(sentence.at(i + 1))))) {
        dots += sentence.at(i) == u'.';
        ++i;
    }
    const qsizetype colon = skipSpaces(sentence, i);
    if (dots > 0 && colon < size && sentence.at(colon) == u':' && colon + 1 < size &&
        sentence.at(colon + 1).isSpace())
        return skipSpaces(sentence, colon + 1);
    return at;
}

// What stands in front of a message without being part of it: comment marks, "Error 101:" or "-3:"
// codes, and a server's name ("whois.example.nl: ...").
qsizetype messageStart(QStringView sentence)
{
    qsizetype at = 0;
    for (;;) {
        while (at < sentence.size() && isOneOf(sentence.at(at), u" \t%#*>;:=!|~-"))
            ++at;
        qsizetype next = afterErrorCode(sentence, at);
        if (next == at)
            next = afterNumberedCode(sentence, at);
        if (next == at)
            next = afterServerName(sentence, at);
        if (next == at)
            return at;
        at = next;
    }
}

// Where the next sentence starts: after ". ", "! ", "? " or "; ", and at " / " between two languages,
// " | ", and " - " or " -- " before a pointer. `end` is where this one ends.
qsizetype nextSentence(QStringView text, qsizetype from, qsizetype* end)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!c.isSpace())
            continue;
        const QChar before = i > 0 ? text.at(i - 1) : QChar();
        if (before == u'.' || before == u'!' || before == u'?' || before == u';') {
            *end = i;
            return i + 1;
        }
        // " / ", " | ", " - ", " -- "
        qsizetype j = i + 1;
        if (j < text.size() && (text.at(j) == u'/' || text.at(j) == u'|' || text.at(j) == u'-')) {
            const QChar mark = text.at(j);
            ++j;
            if (mark == u'-' && j < text.size() && text.at(j) == u'-')
                ++j;
            if (j < text.size() && text.at(j).isSpace()) {
                *end = i;
                return j + 1;
            }
        }
    }
    *end = text.size();
    return text.size();
}

qsizetype wordCount(QStringView sentence, qsizetype atMost)
{
    qsizetype words = 0;
    bool inWord = false;
    for (const QChar c : sentence) {
        if (c.isSpace()) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            if (++words > atMost)
                break;
        }
    }
    return words;
}

// Whether a sentence is prose: terms of use, notices and footers state conditions, rights, duties
// and where to read more; none of that is this query's answer. Words are looked up, not matched by
// an expression: every sentence of every answer passes here.
bool isProse(QStringView sentence)
{
    static const WordSet proseWords = {
        "if", "unless", "whether", "when", "whenever", "may", "might", "must", "should", "shall", "would",
        "terms", "conditions", "copyright", "rights", "purpose", "purposes", "see", "visit", "refer",
        "provided", "www", "http", "https",
        // every ending counts: "agree", "agreement", "accuracy", "liable", "warranty"
        "agree*", "accura*", "guarantee*", "warrant*", "liab*", "disclaim*"};
    using L = QLatin1StringView;
    if (sentence.contains(u'@') || sentence.contains(u'\u00a9'))
        return true;
    for (qsizetype at = sentence.indexOf(u'('); at >= 0 && at + 2 < sentence.size();
         at = sentence.indexOf(u'(', at + 1)) {
        if (asciiLower(sentence.at(at + 1)) == u'c' && sentence.at(at + 2) == u')')
            return true;
    }
    QStringView previous;
    return forEachWord(sentence, [&](QStringView word) {
        if (proseWords.contains(word))
            return true;
        // "for more information", "for details"
        if ((isWord(word, L("information")) || isWord(word, L("details")) || isWord(word, L("info"))) &&
            (isWord(previous, L("for")) || isWord(previous, L("more")) || isWord(previous, L("further"))))
            return true;
        previous = word;
        return false;
    });
}

} // namespace

QString decisionText(const QString& text, int* fields)
{
    constexpr qsizetype MaxWords = 20;
    // Prose wraps: a line of some length without a sentence end, and a next one that starts in lower
    // case and is no field, are one sentence ("... All rights" / "reserved.").
    constexpr qsizetype WrappedLength = 30;
    QStringList paragraphs;
    bool open = false;
    for (const QStringView raw : QStringTokenizer(text, u'\n')) {
        const QStringView line = raw.mid(commentMarks(raw)).trimmed();
        if (line.isEmpty()) {
            open = false;
            continue;
        }
        const QStringView name = fieldName(line);
        if (!name.isEmpty() && line.size() > name.size() + 2)
            ++*fields;
        if (open && name.isEmpty() && line.front().isLower()) {
            paragraphs.last() += QLatin1Char(' ') + line.toString();
        } else if (isRecordField(name)) {
            open = false;
            continue;
        } else {
            paragraphs.append(line.toString());
        }
        open = name.isEmpty() && line.size() >= WrappedLength && !isOneOf(line.back(), u".!?:");
    }
    QString decision;
    for (QString& paragraph : paragraphs) {
        paragraph.replace(QLatin1Char('_'), QLatin1Char(' '));
        const QStringView whole(paragraph);
        for (qsizetype from = 0, end = 0; from < whole.size();) {
            const qsizetype next = nextSentence(whole, from, &end);
            QStringView sentence = whole.mid(from, end - from);
            from = next;
            sentence = sentence.mid(messageStart(sentence)).trimmed();
            // A name in the sentence is nobody's condition or refusal: "No match for ACCURACY.COM."
            const QString masked = maskDomainLikeTokens(sentence);
            if (!masked.isNull())
                sentence = masked;
            if (sentence.isEmpty() || wordCount(sentence, MaxWords) > MaxWords || isProse(sentence))
                continue;
            decision += sentence;
            decision += QLatin1Char('\n');
        }
    }
    return decision;
}

} // namespace brisquel
