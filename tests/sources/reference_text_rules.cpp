#include "reference_text_rules.h"

#include "support/line_reader.h"
#include "support/text_file.h"

#include <QDir>
#include <QFile>

namespace reference {

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString s(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// 1-based position of the first occurrence, 0 when there is none.
qsizetype inStr(const QString& text, const QString& what, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    return text.indexOf(what, 0, cs) + 1;
}

QString left(const QString& text, qsizetype count)
{
    return text.left(count);
}

// The text from the 1-based position on.
QString mid(const QString& text, qsizetype start)
{
    return text.mid(start - 1);
}

QString mid(const QString& text, qsizetype start, qsizetype count)
{
    return text.mid(start - 1, count);
}

QString trimSpaces(QString text)
{
    while (text.startsWith(QLatin1Char(' ')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

std::optional<QString> finalSteps(QString d, const QString& found, bool targetBlankTest)
{
    d = correctName(registrableDomain(d));
    d.replace(s(u"'"), QString());
    d.replace(s(u"\""), QString());
    if (d.isEmpty())
        return std::nullopt;
    if (inStr(found, trimSpaces(d), Qt::CaseInsensitive) > 0)
        return std::nullopt;
    if (inStr(d, s(u"<")) > 0 || inStr(d, s(u">")) > 0)
        return std::nullopt;
    if (d == s(u"ttp:.com") || d == s(u" ttp:.com"))
        return std::nullopt;
    if (inStr(d, s(u"mailto:"), Qt::CaseInsensitive) > 0)
        return std::nullopt;
    if (targetBlankTest && inStr(d, s(u"targetblank"), Qt::CaseInsensitive) > 0)
        return std::nullopt;
    return d;
}

QStringList workFileLines(const QString& prepared, const QString& workFolder)
{
    const QString path = QDir(workFolder).filePath(QStringLiteral("SearchOutput.txt"));
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return {};
    file.write((prepared + CrLf).toUtf8());
    file.close();
    brisquel::LineReader reader(64 * 1024 * 1024);
    QStringList lines;
    if (!reader.open(path))
        return {};
    QString line;
    while (reader.readLine(&line))
        lines.append(line);
    reader.close();
    QFile::remove(path);
    return lines;
}

QString cutAtFrameDelimiter(const QString& line)
{
    const qsizetype space = inStr(line, s(u" "));
    const qsizetype close = inStr(line, s(u">"));
    if (close > 0 && space > 0 && close < space)
        return left(line, close);
    if (space > 0)
        return left(line, space);
    return line;
}

} // namespace

QString correctName(const QString& name)
{
    QString head = name;
    QString tail;
    const qsizetype dot = inStr(name, s(u"."));
    if (dot > 0) {
        tail = mid(name, dot);
        head = left(name, dot - 1);
    }
    static const QStringList removed{
        s(u"&nbsp;"), s(u"related:"), s(u"site:"),  s(u"<b>"),    s(u" "),      s(u"/"),      s(u"."),
        s(u"%"),      s(u"!"),        s(u"/"),      s(u"~"),      s(u"#"),      s(u"'"),      s(u"\""),
        s(u"$"),      s(u"%"),        s(u"^"),      s(u"&"),      s(u"*"),      s(u"("),      s(u")"),
        s(u"="),      s(u"\\"),       s(u"|"),      s(u"+"),      s(u"`"),      s(u"?"),      s(u">"),
        s(u"<"),      s(u","),        s(u"'"),      s(u"\""),     s(u"."),      s(u"nbsp;"),  s(u";"),
        s(u":"),      s(u"\u00AB"),   s(u"\u00B4"), s(u"\u00AF"), s(u"\u00BA"), s(u"\u00B8"), s(u"_")};
    for (const QString& r : removed)
        head.replace(r, QString());
    QString joined = head + tail;
    joined.replace(s(u"?"), QString());
    return joined;
}

QString urlDecode(const QString& text)
{
    static const QList<std::pair<QString, QString>> table{
        {s(u"%25"), s(u"%")},  {s(u"%20"), s(u" ")}, {s(u"%3C"), s(u"<")},  {s(u"%3E"), s(u">")},
        {s(u"%23"), s(u"#")},  {s(u"%7B"), s(u"{")}, {s(u"%7D"), s(u"}")},  {s(u"%7C"), s(u"|")},
        {s(u"%5C"), s(u"\\")}, {s(u"%5E"), s(u"^")}, {s(u"%7E"), s(u"~")},  {s(u"%5B"), s(u"[")},
        {s(u"%5D"), s(u"]")},  {s(u"%60"), s(u"`")}, {s(u"%3B"), s(u";")},  {s(u"%2F"), s(u"/")},
        {s(u"%3F"), s(u"?")},  {s(u"%3A"), s(u":")}, {s(u"%40"), s(u"@")},  {s(u"%3D"), s(u"=")},
        {s(u"%26"), s(u"&")},  {s(u"%24"), s(u"$")}, {s(u"%0A"), s(u"\n")}, {s(u"%0D"), s(u"\r")}};
    QString t = text;
    for (const auto& [escape, character] : table) {
        while (inStr(t, escape, Qt::CaseInsensitive) > 0)
            t.replace(escape, character, Qt::CaseInsensitive);
    }
    return t;
}

QString breakAfterExtensions(const QString& text, const QStringList& extensions)
{
    QString t = text;
    for (const QString& e : extensions) {
        for (const QString& d : {s(u" "), s(u"/"), s(u"\""), s(u"'"), s(u":"), s(u"?")})
            t.replace(e + d, e + d + CrLf);
    }
    return t;
}

bool hasKnownExtension(const QString& text, const QStringList& extensions)
{
    for (const QString& e : extensions) {
        if (inStr(text, s(u".") + e, Qt::CaseInsensitive) > 0)
            return true;
    }
    return false;
}

int extensionEndPos(const QString& text, const QStringList& extensions)
{
    for (const QString& e : extensions) {
        const qsizetype at = inStr(text, s(u".") + e, Qt::CaseInsensitive);
        if (at > 0)
            return int(at + e.size() + 1);
    }
    return 0;
}

QString registrableDomain(const QString& host)
{
    if (inStr(host, s(u".")) == 0)
        return host;
    const QStringList labels = host.split(QLatin1Char('.'));
    const qsizetype n = labels.size() - 1;
    if (n < 2)
        return host;
    const QStringList generic{s(u"com"), s(u"org"),  s(u"info"), s(u"name"),
                              s(u"biz"), s(u"coop"), s(u"edu"),  s(u"aero")};
    if (generic.contains(labels[n]))
        return labels[n - 1] + s(u".") + labels[n];
    if (labels[n - 1] == s(u"co"))
        return labels[n - 2] + s(u".") + labels[n - 1] + s(u".") + labels[n];
    if (labels[n] == s(u"us"))
        return labels[n - 1] + s(u".") + labels[n];
    return QString();
}

QString preparePageText(const QString& html, const QStringList& extensions)
{
    QString t = html;
    t.replace(s(u"=www."), s(u"http://www."), Qt::CaseInsensitive);
    t.replace(s(u">www."), s(u"http://www."), Qt::CaseInsensitive);
    t.replace(s(u"http://"), CrLf + s(u"http://"), Qt::CaseInsensitive);
    t.replace(s(u"<Frame"), CrLf + s(u"<Frame"), Qt::CaseInsensitive);
    return breakAfterExtensions(t, extensions);
}

bool passesLinkLineTest(const QString& line, const QStringList& extensions, const QStringList& excluded)
{
    if (left(line, 7) != s(u"http://"))
        return false;
    for (const QString& x : excluded) {
        if (inStr(line, x, Qt::CaseInsensitive) > 0)
            return false;
    }
    if (inStr(line, s(u"@")) > 0)
        return false;
    return hasKnownExtension(line, extensions);
}

std::optional<QString> linkCandidate(const QString& line, const QString& foundSoFar, bool stripBold,
                                     const QStringList& extensions, const QStringList& excluded)
{
    if (!passesLinkLineTest(line, extensions, excluded))
        return std::nullopt;
    QString x;
    QString d = line;
    qsizetype p = inStr(d, s(u"http://"));
    d = left(d, p - 1) + mid(d, p + 7);
    if (stripBold) {
        for (const QString& bold : {s(u"<b>"), s(u"<B>")}) {
            p = inStr(d, bold);
            if (p > 0)
                d = left(d, p - 1) + mid(d, p + 3);
        }
    }
    if (inStr(d, s(u" ")) > 0)
        d = left(d, inStr(d, s(u" ")));
    if (inStr(d, s(u"/")) > 0)
        d = left(d, inStr(d, s(u"/")) - 1);
    if (inStr(d, s(u".")) < d.size() - 3)
        d = mid(d, inStr(d, s(u".")) + 1);
    if (inStr(d, s(u".")) > 0)
        x = mid(d, inStr(d, s(u".")) + 1);
    if (inStr(d, s(u"=")) > 0)
        x = mid(d, inStr(d, s(u"=")) + 1);
    if (inStr(d, s(u":")) > 0)
        d = left(d, inStr(d, s(u":")));
    if (!hasKnownExtension(s(u".") + x, extensions))
        return std::nullopt;
    return finalSteps(d, foundSoFar, true);
}

std::optional<QString> textCandidate(const QString& line, const QString& seenNames,
                                     const QStringList& extensions)
{
    const qsizetype p = extensionEndPos(line, extensions);
    if (p == 0)
        return std::nullopt;
    qsizetype start = std::max<qsizetype>(p - 5, 1);
    auto window = [&] {
        return mid(line, start, p - start);
    };
    auto holdsStop = [&] {
        const QString w = window();
        for (const QString& stop : {s(u"'"), s(u"="), s(u"<"), s(u"\""), s(u" "), s(u">"), s(u"http://")}) {
            if (inStr(w, stop) > 0)
                return true;
        }
        return false;
    };
    while (start > 1 && !holdsStop())
        --start;
    QString d = holdsStop() ? mid(window(), 2) : window();
    for (const QString& prefix : {s(u"http://"), s(u"ttp://"), s(u"tp://"), s(u"p://"), s(u"://")}) {
        const qsizetype at = inStr(d, prefix);
        if (at > 0)
            d = left(d, at - 1) + mid(d, at + prefix.size());
    }
    if (inStr(d, s(u" ")) > 0)
        d = left(d, inStr(d, s(u" ")));
    if (inStr(d, s(u"/")) > 0)
        d = left(d, inStr(d, s(u"/")) - 1);
    if (inStr(d, s(u".")) < d.size() - 3)
        d = mid(d, inStr(d, s(u".")) + 1);
    QString x;
    if (inStr(d, s(u".")) > 0)
        x = mid(d, inStr(d, s(u".")) + 1);
    if (inStr(d, s(u"=")) > 0)
        x = mid(d, inStr(d, s(u"=")) + 1);
    if (inStr(d, s(u"@")) > 0)
        d = mid(d, inStr(d, s(u"@")) + 1);
    if (inStr(d, s(u":")) > 0)
        d = mid(d, inStr(d, s(u":")) + 1);
    if (!hasKnownExtension(s(u".") + x, extensions))
        return std::nullopt;
    return finalSteps(d, seenNames, false);
}

QStringList extractHarvestNames(const QString& html, QString* harvestText, const QStringList& extensions,
                                const QStringList& excluded, const QString& workFolder)
{
    QStringList names;
    for (const QString& line : workFileLines(preparePageText(html, extensions), workFolder)) {
        const auto name = linkCandidate(urlDecode(line), *harvestText, true, extensions, excluded);
        if (name) {
            *harvestText += *name + CrLf;
            names.append(*name);
        }
    }
    return names;
}

PageScan scanBrowserPage(const QString& html, QString* seenNames, const QStringList& extensions,
                         const QStringList& excluded, const QString& workFolder)
{
    PageScan scan;
    const QStringList lines = workFileLines(preparePageText(html, extensions), workFolder);
    bool followFrame = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = urlDecode(lines[i]);
        std::optional<QString> name;
        if (followFrame) {
            QString address = cutAtFrameDelimiter(line);
            if (i + 1 < lines.size())
                address += cutAtFrameDelimiter(lines[++i]);
            for (const QString& junk : {s(u"\""), s(u">"), s(u"<"), s(u"http://"), s(u"ttp://"), s(u"tp://"),
                                        s(u"p://"), s(u"://")})
                address.replace(junk, QString());
            scan.frameAddresses.append(address);
            followFrame = false;
        } else if (inStr(line, s(u"<Frame"), Qt::CaseInsensitive) > 0 &&
                   inStr(line, s(u"src="), Qt::CaseInsensitive) > 0) {
            followFrame = true;
        } else if (passesLinkLineTest(line, extensions, excluded)) {
            name = linkCandidate(line, *seenNames, false, extensions, excluded);
        } else if (hasKnownExtension(line, extensions)) {
            name = textCandidate(line, *seenNames, extensions);
        }
        if (name) {
            *seenNames += *name + CrLf;
            scan.names.append(*name);
        }
    }
    return scan;
}

} // namespace reference
