#include "sources/text_candidate.h"

#include "sources/domain_text.h"

#include <algorithm>

namespace brisquel {

namespace {

constexpr QStringView Http = u"http://";

bool isStopCharacter(QChar c)
{
    return QStringView(u"'=<\" >").contains(c);
}

// Whether the window line[start, end) holds a stop character or "http://". The window only
// grows to the left, so after the first full look only the new first character can add one.
bool windowHoldsStop(QStringView line, qsizetype start, qsizetype end, bool grownByOne)
{
    if (grownByOne)
        return isStopCharacter(line[start]) || line.mid(start, end - start).startsWith(Http);
    const QStringView window = line.mid(start, end - start);
    for (const QChar c : window) {
        if (isStopCharacter(c))
            return true;
    }
    return window.contains(Http);
}

void removeFirst(QString* text, QStringView what)
{
    const qsizetype at = text->indexOf(what);
    if (at >= 0)
        text->remove(at, what.size());
}

} // namespace

std::optional<QString> textCandidate(const QString& line, const QString& seenNames,
                                     const KnownExtensions& extensions)
{
    return textCandidate(line, foundIn(seenNames), extensions);
}

std::optional<QString> textCandidate(const QString& line, const FoundNameTest& isSeen,
                                     const KnownExtensions& extensions)
{
    const int endPos = extensionEndPos(line, extensions);
    if (endPos == 0)
        return std::nullopt;

    // 0-based window [start, end); a start before the line begins is moved to its first character.
    const qsizetype end = endPos - 1;
    qsizetype start = std::max<qsizetype>(end - 5, 0);
    bool stopped = windowHoldsStop(line, start, end, false);
    while (start > 0 && !stopped) {
        --start;
        stopped = windowHoldsStop(line, start, end, true);
    }
    // The first character is the delimiter that stopped the widening, unless none did.
    QString d = line.mid(stopped ? start + 1 : start, end - (stopped ? start + 1 : start));

    for (const QStringView prefix :
         {Http, QStringView(u"ttp://"), QStringView(u"tp://"), QStringView(u"p://"), QStringView(u"://")})
        removeFirst(&d, prefix);
    const QString extensionPart = cutHostText(&d);
    if (const qsizetype at = d.indexOf(QLatin1Char('@')); at >= 0)
        d.remove(0, at + 1);
    if (const qsizetype colon = d.indexOf(QLatin1Char(':')); colon >= 0)
        d.remove(0, colon + 1);

    if (!hasKnownExtension(QLatin1Char('.') + extensionPart, extensions))
        return std::nullopt;
    return finishCandidate(d, isSeen, false);
}

} // namespace brisquel
