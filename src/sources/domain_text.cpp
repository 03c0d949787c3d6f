#include "sources/domain_text.h"

#include <array>

namespace brisquel {

namespace {

const QString LineBreak = QStringLiteral("\r\n");
constexpr QStringView BreakDelimiters = u" /\"':?";

// Removes every character of the set in one pass; removing single characters one after the
// other cannot create new occurrences, so the order among them does not matter.
void removeEach(QString* text, QStringView characters)
{
    text->removeIf([characters](QChar c) { return characters.contains(c); });
}

bool startsWithFolded(QStringView text, qsizetype at, QStringView lowerAscii)
{
    if (text.size() - at < lowerAscii.size())
        return false;
    for (qsizetype i = 0; i < lowerAscii.size(); ++i) {
        if (foldUnit(text[at + i].unicode()) != lowerAscii[i].unicode())
            return false;
    }
    return true;
}

// The character that a two-digit escape after "%" stands for (not "%25"), or 0.
char16_t escapedCharacter(char16_t high, char16_t low)
{
    struct Escape
    {
        char16_t high;
        char16_t low;
        char16_t character;
    };
    static constexpr std::array<Escape, 23> escapes{{
        {u'2', u'0', u' '}, {u'3', u'c', u'<'},  {u'3', u'e', u'>'},  {u'2', u'3', u'#'}, {u'7', u'b', u'{'},
        {u'7', u'd', u'}'}, {u'7', u'c', u'|'},  {u'5', u'c', u'\\'}, {u'5', u'e', u'^'}, {u'7', u'e', u'~'},
        {u'5', u'b', u'['}, {u'5', u'd', u']'},  {u'6', u'0', u'`'},  {u'3', u'b', u';'}, {u'2', u'f', u'/'},
        {u'3', u'f', u'?'}, {u'3', u'a', u':'},  {u'4', u'0', u'@'},  {u'3', u'd', u'='}, {u'2', u'6', u'&'},
        {u'2', u'4', u'$'}, {u'0', u'a', u'\n'}, {u'0', u'd', u'\r'},
    }};
    const char16_t h = foldUnit(high);
    const char16_t l = foldUnit(low);
    for (const Escape& e : escapes) {
        if (e.high == h && e.low == l)
            return e.character;
    }
    return 0;
}

// The rows one after the other, as the rule reads; only needed for extensions that hold a
// delimiter or a line end themselves.
QString breakAfterExtensionsRowByRow(QString text, const KnownExtensions& extensions)
{
    for (const QString& extension : extensions.extensions()) {
        for (const QChar delimiter : BreakDelimiters) {
            const QString match = extension + delimiter;
            text.replace(match, match + LineBreak);
        }
    }
    return text;
}

qsizetype lastDotBefore(const QString& text, qsizetype end)
{
    return end <= 0 ? -1 : text.lastIndexOf(QLatin1Char('.'), end - 1);
}

} // namespace

QString correctName(const QString& name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    QString head = dot < 0 ? name : name.left(dot);
    QString tail = dot < 0 ? QString() : name.mid(dot);

    head.remove(QStringLiteral("&nbsp;"));
    head.remove(QStringLiteral("related:"));
    head.remove(QStringLiteral("site:"));
    head.remove(QStringLiteral("<b>"));
    removeEach(&head, u" /.%!~#'\"$^&*()=\\|+`?><,");
    head.remove(QStringLiteral("nbsp;"));
    removeEach(&head, u";:\u00AB\u00B4\u00AF\u00BA\u00B8_");

    tail.remove(QLatin1Char('?'));
    return head + tail;
}

QString urlDecode(const QString& text)
{
    // Replacing "%25" by "%" until none is left reaches the same text as reducing each "%25"
    // as soon as it is complete: the pattern cannot overlap itself.
    QString reduced;
    reduced.reserve(text.size());
    for (const QChar c : text) {
        reduced.append(c);
        const qsizetype n = reduced.size();
        if (c == u'5' && n >= 3 && reduced[n - 2] == u'2' && reduced[n - 3] == u'%')
            reduced.chop(2);
    }

    // No other escape can overlap another or be created by a replacement, so one pass does what
    // a pass per escape does.
    QString decoded;
    decoded.reserve(reduced.size());
    const qsizetype size = reduced.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (reduced[i] == u'%' && i + 2 < size) {
            const char16_t character = escapedCharacter(reduced[i + 1].unicode(), reduced[i + 2].unicode());
            if (character != 0) {
                decoded.append(QChar(character));
                i += 2;
                continue;
            }
        }
        decoded.append(reduced[i]);
    }
    return decoded;
}

QString breakAfterExtensions(const QString& text, const KnownExtensions& extensions)
{
    if (extensions.isEmpty())
        return text;
    if (!extensions.breaksAreIndependent())
        return breakAfterExtensionsRowByRow(text, extensions);

    // Each row adds one break after a delimiter that follows it; the breaks of all rows land at
    // the same place, so they can be counted in one pass.
    QString result;
    result.reserve(text.size() + text.size() / 16);
    qsizetype copied = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (!BreakDelimiters.contains(text[i]))
            continue;
        const int rows = extensions.rowsEndingAt(text, i);
        if (rows == 0)
            continue;
        result.append(QStringView(text).mid(copied, i + 1 - copied));
        copied = i + 1;
        for (int r = 0; r < rows; ++r)
            result.append(LineBreak);
    }
    if (copied == 0)
        return text;
    result.append(QStringView(text).mid(copied));
    return result;
}

bool hasKnownExtension(const QString& text, const KnownExtensions& extensions)
{
    return extensions.occursAfterDot(text);
}

int extensionEndPos(const QString& text, const KnownExtensions& extensions)
{
    qsizetype dot = 0;
    qsizetype length = 0;
    if (!extensions.firstInTableOrder(text, &dot, &length))
        return 0;
    // The dot's 1-based position plus the extension's length plus one.
    return int(dot + length + 2);
}

QString registrableDomain(const QString& host)
{
    const qsizetype last = host.lastIndexOf(QLatin1Char('.'));
    if (last < 0)
        return host;
    const qsizetype second = lastDotBefore(host, last);
    if (second < 0)
        return host;
    const qsizetype third = lastDotBefore(host, second);

    const QString top = host.mid(last + 1);
    const QString middle = host.mid(second + 1, last - second - 1);
    static const QStringList generic{QStringLiteral("com"),  QStringLiteral("org"), QStringLiteral("info"),
                                     QStringLiteral("name"), QStringLiteral("biz"), QStringLiteral("coop"),
                                     QStringLiteral("edu"),  QStringLiteral("aero")};
    if (generic.contains(top))
        return middle + QLatin1Char('.') + top;
    if (middle == QLatin1String("co"))
        return host.mid(third + 1, second - third - 1) + QLatin1Char('.') + middle + QLatin1Char('.') + top;
    if (top == QLatin1String("us"))
        return middle + QLatin1Char('.') + top;
    return QString();
}

QString preparePageText(const QString& html, const KnownExtensions& extensions)
{
    // The four case-insensitive replacements cannot overlap or feed each other, so one pass
    // applies them; "=www." and ">www." become "http://www." and thus also get a break.
    QString text;
    text.reserve(html.size() + html.size() / 16);
    const QStringView page(html);
    const qsizetype size = page.size();
    qsizetype copied = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = page[i];
        qsizetype matched = 0;
        QStringView replacement;
        if ((c == u'=' || c == u'>') && startsWithFolded(page, i + 1, u"www.")) {
            matched = 5;
            replacement = u"\r\nhttp://www.";
        } else if (foldUnit(c.unicode()) == u'h' && startsWithFolded(page, i, u"http://")) {
            matched = 7;
            replacement = u"\r\nhttp://";
        } else if (c == u'<' && startsWithFolded(page, i, u"<frame")) {
            matched = 6;
            replacement = u"\r\n<Frame";
        } else {
            continue;
        }
        text.append(page.mid(copied, i - copied));
        text.append(replacement);
        i += matched - 1;
        copied = i + 1;
    }
    text.append(page.mid(copied));
    return breakAfterExtensions(text, extensions);
}

QStringList defaultExcludedLinkTexts()
{
    return {QStringLiteral("search.yahoo.com"), QStringLiteral("yimg.com"), QStringLiteral("sedo.com")};
}

bool passesLinkLineTest(const QString& line, const KnownExtensions& extensions,
                        const QStringList& excludedTexts)
{
    if (!line.startsWith(QLatin1String("http://")))
        return false;
    for (const QString& excluded : excludedTexts) {
        if (line.contains(excluded, Qt::CaseInsensitive))
            return false;
    }
    return !line.contains(QLatin1Char('@')) && hasKnownExtension(line, extensions);
}

FoundNameTest foundIn(const QString& foundSoFar)
{
    return [&foundSoFar](const QString& name) {
        return foundSoFar.contains(name, Qt::CaseInsensitive);
    };
}

std::optional<QString> linkCandidate(const QString& line, const QString& foundSoFar, bool stripBold,
                                     const KnownExtensions& extensions, const QStringList& excludedTexts)
{
    return linkCandidate(line, foundIn(foundSoFar), stripBold, extensions, excludedTexts);
}

std::optional<QString> linkCandidate(const QString& line, const FoundNameTest& isFound, bool stripBold,
                                     const KnownExtensions& extensions, const QStringList& excludedTexts)
{
    if (!passesLinkLineTest(line, extensions, excludedTexts))
        return std::nullopt;

    QString d = line.mid(7);
    if (stripBold) {
        for (const QLatin1String bold : {QLatin1String("<b>"), QLatin1String("<B>")}) {
            const qsizetype at = d.indexOf(bold);
            if (at >= 0)
                d.remove(at, bold.size());
        }
    }
    const QString extensionPart = cutHostText(&d);
    if (const qsizetype colon = d.indexOf(QLatin1Char(':')); colon >= 0)
        d.truncate(colon + 1);

    if (!hasKnownExtension(QLatin1Char('.') + extensionPart, extensions))
        return std::nullopt;
    return finishCandidate(d, isFound, true);
}

QString cutHostText(QString* text)
{
    QString& d = *text;
    if (const qsizetype space = d.indexOf(QLatin1Char(' ')); space >= 0)
        d.truncate(space + 1);
    if (const qsizetype slash = d.indexOf(QLatin1Char('/')); slash >= 0)
        d.truncate(slash);
    if (const qsizetype dot = d.indexOf(QLatin1Char('.')); dot >= 0 && dot + 1 < d.size() - 3)
        d.remove(0, dot + 1);

    QString extensionPart;
    if (const qsizetype dot = d.indexOf(QLatin1Char('.')); dot >= 0)
        extensionPart = d.mid(dot + 1);
    if (const qsizetype equals = d.indexOf(QLatin1Char('=')); equals >= 0)
        extensionPart = d.mid(equals + 1);
    return extensionPart;
}

std::optional<QString> finishCandidate(const QString& text, const FoundNameTest& isFound,
                                       bool refuseTargetBlank)
{
    QString d = correctName(registrableDomain(text));
    d.remove(QLatin1Char('\''));
    d.remove(QLatin1Char('"'));

    if (d.isEmpty() || isFound(trimSpaces(d)))
        return std::nullopt;
    if (d.contains(QLatin1Char('<')) || d.contains(QLatin1Char('>')))
        return std::nullopt;
    if (d == QLatin1String("ttp:.com") || d == QLatin1String(" ttp:.com"))
        return std::nullopt;
    if (d.contains(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return std::nullopt;
    if (refuseTargetBlank && d.contains(QLatin1String("targetblank"), Qt::CaseInsensitive))
        return std::nullopt;
    return d;
}

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace brisquel
