#include "sources/page_extraction.h"

#include "sources/text_candidate.h"

namespace brisquel {

namespace {

const QString LineBreak = QStringLiteral("\r\n");

// A frame tag's address line is cut after a ">" that comes before its first space, else after
// that space; a line without a space is used whole.
QString cutFrameLine(const QString& line)
{
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space < 0)
        return line;
    const qsizetype close = line.indexOf(QLatin1Char('>'));
    return line.left((close >= 0 && close < space ? close : space) + 1);
}

QString frameAddress(const QString& line, const QString* nextLine)
{
    QString address = cutFrameLine(line);
    // The rest of an address that the break after its host split off.
    if (nextLine)
        address += cutFrameLine(*nextLine);
    for (const QStringView junk : {QStringView(u"\""), QStringView(u">"), QStringView(u"<"), QStringView(u"http://"),
                                   QStringView(u"ttp://"), QStringView(u"tp://"), QStringView(u"p://"),
                                   QStringView(u"://")})
        address.remove(junk.toString());
    return address;
}

} // namespace

QList<QStringView> splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype begin = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(begin, i - begin));
        if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
            ++i;
        begin = i + 1;
    }
    lines.append(text.mid(begin));
    return lines;
}

QStringList extractHarvestNames(const QString& html, QString* harvestText, const KnownExtensions& extensions,
                                const QStringList& excludedTexts)
{
    QString ownText;
    QString* found = harvestText ? harvestText : &ownText;
    QStringList names;
    const QString prepared = preparePageText(html, extensions);
    for (const QStringView line : splitLines(prepared)) {
        const QString decoded = urlDecode(line.toString());
        if (const auto name = linkCandidate(decoded, *found, true, extensions, excludedTexts)) {
            found->append(*name + LineBreak);
            names.append(*name);
        }
    }
    return names;
}

PageScan scanBrowserPage(const QString& html, QString* seenNames, const KnownExtensions& extensions,
                         const QStringList& excludedTexts)
{
    QString ownText;
    QString* seen = seenNames ? seenNames : &ownText;
    PageScan scan;
    const QString prepared = preparePageText(html, extensions);
    const QList<QStringView> lines = splitLines(prepared);
    bool followFrame = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = urlDecode(lines.at(i).toString());
        if (followFrame) {
            followFrame = false;
            // The next line is taken as it stands, without decoding, and is not read again.
            if (i + 1 < lines.size()) {
                const QString next = lines.at(++i).toString();
                scan.frameAddresses.append(frameAddress(line, &next));
            } else {
                scan.frameAddresses.append(frameAddress(line, nullptr));
            }
            continue;
        }
        if (line.contains(QLatin1String("<Frame"), Qt::CaseInsensitive)
            && line.contains(QLatin1String("src="), Qt::CaseInsensitive)) {
            followFrame = true;
            continue;
        }
        std::optional<QString> name;
        if (passesLinkLineTest(line, extensions, excludedTexts))
            name = linkCandidate(line, *seen, false, extensions, excludedTexts);
        else if (hasKnownExtension(line, extensions))
            name = textCandidate(line, *seen, extensions);
        if (name) {
            seen->append(*name + LineBreak);
            scan.names.append(*name);
        }
    }
    return scan;
}

} // namespace brisquel
