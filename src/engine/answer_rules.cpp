#include "answer_rules.h"

#include "engine/name_mask.h"
#include "support/file_helpers.h"
#include "support/words.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringTokenizer>
#include <cstring>
#include <string_view>

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

// Line ends become LF alone before anything is decoded: a decoder that meets broken text may take a
// CR or an LF for part of a character, and it must meet the same bytes however the server ended
// its lines.
QByteArray withLfLineEnds(const QByteArray& answer)
{
    if (!answer.contains('\r'))
        return answer;
    QByteArray bytes = answer;
    char* out = bytes.data();
    const char* in = out;
    const char* end = in + bytes.size();
    for (; in != end; ++in) {
        if (*in == '\r') {
            if (in + 1 == end || in[1] != '\n')
                *out++ = '\n';
        } else {
            *out++ = *in;
        }
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

// The bytes of `answer` that are no part of a well-formed UTF-8 sequence.
qsizetype brokenUtf8Bytes(QByteArrayView bytes)
{
    qsizetype broken = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int length = c >= 0xf5 ? 0 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        bool good = length > 0 && i + length <= bytes.size();
        for (int k = 1; good && k < length; ++k)
            good = (static_cast<unsigned char>(bytes[i + k]) & 0xc0) == 0x80;
        if (good) {
            i += length;
        } else {
            ++broken;
            ++i;
        }
    }
    return broken;
}

// The ISO-2022 character set whose shifts the answer holds, or empty: 7-bit text that any
// ASCII reading would take for valid UTF-8 with stray escapes.
QByteArray iso2022Encoding(const QByteArray& answer)
{
    if (!answer.contains('\x1b'))
        return {};
    if (answer.contains("\x1b$)C"))
        return QByteArrayLiteral("ISO-2022-KR");
    // JIS X 0208 (old and new), JIS X 0212, JIS Roman, half-width katakana.
    for (const char* shift : {"\x1b$B", "\x1b$@", "\x1b$(D", "\x1b(J", "\x1b(I"}) {
        if (answer.contains(shift))
            return QByteArrayLiteral("ISO-2022-JP-2"); // the others' superset
    }
    return {};
}

// Binary garbage or a mangled stream, not a text in any character set: a NUL before the end, or
// most characters controls, replacement characters or bytes that fit no character set. Blanks
// and line ends are layout, not text: how a server ends its lines must never tip the balance.
bool isUnreadable(const AnswerText& answer)
{
    const QString& text = answer.text;
    qsizetype size = text.size();
    // A NUL after the text, as a string terminator, does no harm.
    while (size > 0 && text.at(size - 1).unicode() == 0)
        --size;
    qsizetype notText = answer.undecodable;
    qsizetype counted = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0)
            return true;
        if (c == u' ' || (c >= 0x09 && c <= 0x0d))
            continue;
        ++counted;
        // ESC stays text: an ISO-2022 shift that no decoder took.
        if ((c < 0x20 && c != 0x1b) || c == 0x7f || c == 0xfffd)
            ++notText;
    }
    return notText * 2 > counted;
}

// Lines that say something other than the name is missing: "server not found", "no records for
// that zone".
const QRegularExpression& otherSubject()
{
    static const QRegularExpression pattern(
        QStringLiteral("\\b(server|host|service|page|file|command|resource|tld|zone|extension|method|user|"
                       "account|handler|url|path|endpoint|backend|table|script|module|configuration|config|"
                       "certificate|route)\\s+(was\\s+|is\\s+)?(not\\s*found|does\\s+not\\s+exist)|"
                       "\\b(for|in)\\s+(that|this|the\\s+given)\\s+(zone|tld|extension)\\b|"
                       "\\b(whois\\s+server|server|host)\\b.{0,40}\\b(could\\s+not\\s+be\\s+found|not\\s*found)\\b"),
        PatternOptions);
    return pattern;
}

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

// What stands in front of a message without being part of it: comment marks, "Error 101:" or "-3:"
// codes, and a server's name ("whois.example.nl: ...").
qsizetype messageStart(QStringView sentence)
{
    const qsizetype size = sentence.size();
    const auto isAsciiAlnum = [](QChar c) {
        return c.unicode() < 0x80 && c.isLetterOrNumber();
    };
    const auto skipDigits = [&](qsizetype i) {
        qsizetype j = i < size && (sentence.at(i) == u'-' || sentence.at(i) == u'+') ? i + 1 : i;
        const qsizetype first = j;
        while (j < size && sentence.at(j).isDigit() && j - first < 6)
            ++j;
        return j > first ? j : i;
    };
    const auto skipSpaces = [&](qsizetype i) {
        while (i < size && sentence.at(i).isSpace())
            ++i;
        return i;
    };
    qsizetype at = 0;
    for (;;) {
        while (at < size && isOneOf(sentence.at(at), u" \t%#*>;:=!|~-"))
            ++at;
        const QStringView rest = sentence.mid(at);
        // "Error", "ERROR:101:", "error 230"
        qsizetype word = rest.startsWith(QLatin1String("error"), Qt::CaseInsensitive) ? 5
                         : rest.startsWith(QLatin1String("err"), Qt::CaseInsensitive) ? 3
                                                                                      : 0;
        if (word > 0 && (at + word == size || !sentence.at(at + word).isLetter())) {
            qsizetype i = skipSpaces(at + word);
            while (i < size && (sentence.at(i) == u':' || sentence.at(i) == u'#'))
                i = skipSpaces(i + 1);
            const qsizetype digits = skipDigits(i);
            if (digits > i) {
                i = skipSpaces(digits);
                if (i < size && isOneOf(sentence.at(i), u":.)]"))
                    ++i;
            }
            at = skipSpaces(i);
            continue;
        }
        // "-3:", "101 :"
        if (const qsizetype digits = skipDigits(at); digits > at) {
            const qsizetype colon = skipSpaces(digits);
            if (colon < size && sentence.at(colon) == u':') {
                at = skipSpaces(colon + 1);
                continue;
            }
        }
        // "whois.example.nl: "
        qsizetype i = at;
        int dots = 0;
        while (i < size &&
               (isAsciiAlnum(sentence.at(i)) || sentence.at(i) == u'-' ||
                (sentence.at(i) == u'.' && i > at && i + 1 < size && isAsciiAlnum(sentence.at(i + 1))))) {
            dots += sentence.at(i) == u'.';
            ++i;
        }
        const qsizetype colon = skipSpaces(i);
        if (dots > 0 && colon < size && sentence.at(colon) == u':' && colon + 1 < size &&
            sentence.at(colon + 1).isSpace()) {
            at = skipSpaces(colon + 1);
            continue;
        }
        return at;
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

// The sentences of an answer that the generic rules judge, one per line: each line cut into
// sentences, without what stands in front of the message, underscores read as spaces; prose and
// the values of record fields are left out.
// *fields: the lines of the form "Key: value", how much of a record the answer holds.
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

AnswerText decodeAnswer(const QByteArray& raw, const QByteArray& encoding)
{
    constexpr auto Stateless = QStringDecoder::Flag::Stateless;
    const QByteArray answer = withLfLineEnds(raw);
    if (const QByteArray shifted = iso2022Encoding(answer); !shifted.isEmpty()) {
        QStringDecoder decoder(shifted.constData(), Stateless);
        if (decoder.isValid()) {
            QString text = decoder.decode(answer);
            if (!decoder.hasError())
                return {std::move(text), 0};
        }
    }
    if (QByteArrayView(answer).isValidUtf8())
        return {QString::fromUtf8(answer), 0};
    if (!encoding.isEmpty()) {
        // What it cannot read becomes replacement characters, which tell an unreadable answer.
        QStringDecoder decoder(encoding.constData(), Stateless);
        if (decoder.isValid())
            return {decoder.decode(answer), 0};
    }
    return {QString::fromLatin1(answer), brokenUtf8Bytes(answer)};
}

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
                return decided(Verdict::Unanswered, QStringLiteral("server refused or limited the query"), rule);
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
