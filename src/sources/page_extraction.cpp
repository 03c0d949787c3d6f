#include "sources/page_extraction.h"

#include "sources/text_candidate.h"

#include <algorithm>
#include <vector>

namespace brisquel {

namespace {

const QString LineBreak = QStringLiteral("\r\n");

// The text of the names found so far, with the duplicate test answered without searching the
// whole text for every line: a page of thousands of names would otherwise take seconds. Once
// plain searches have cost more than building it, a suffix automaton of the case-folded text
// is built; it recognises exactly the substrings of the text and grows with it. Very large
// texts are left to the plain search to bound the memory.
class FoundNames
{
public:
    explicit FoundNames(QString* text)
        : m_text(text)
    {}

    bool contains(const QString& name)
    {
        if (m_indexed && std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.isSurrogate(); }))
            return indexContains(name);
        m_searched += m_text->size();
        if (!m_indexed && m_searched > BuildCostFactor * m_text->size() + SearchBeforeIndexing &&
            m_text->size() < MaxIndexedUnits) {
            buildIndex();
        }
        // Folding a surrogate depends on its neighbour, which only QString's own search knows.
        return m_text->contains(name, Qt::CaseInsensitive);
    }

    void append(const QString& name)
    {
        const qsizetype from = m_text->size();
        m_text->append(name);
        m_text->append(LineBreak);
        if (m_indexed)
            extendIndex(QStringView(*m_text).mid(from));
    }

private:
    // Building costs some tens of plain searches per unit; searching that much first keeps the
    // total within a small factor of the better choice.
    static constexpr qint64 BuildCostFactor = 32;
    static constexpr qint64 SearchBeforeIndexing = 64 * 1024;
    static constexpr qsizetype MaxIndexedUnits = 2 * 1024 * 1024;

    struct State
    {
        int length;
        int link;
        int firstEdge;
    };
    struct Edge
    {
        char16_t unit;
        int target;
        int nextEdge;
    };

    void buildIndex()
    {
        m_states.reserve(std::size_t(m_text->size()) * 2 + 1);
        m_edges.reserve(std::size_t(m_text->size()) * 3);
        m_states.push_back({0, -1, -1});
        m_rootTargets.assign(0x10000, -1);
        m_last = 0;
        m_indexed = true;
        extendIndex(*m_text);
    }

    bool indexContains(QStringView name) const
    {
        int state = 0;
        for (const QChar c : name) {
            state = target(state, foldUnit(c.unicode()));
            if (state < 0)
                return false;
        }
        return true;
    }

    void extendIndex(QStringView text)
    {
        for (const QChar c : text)
            extend(foldUnit(c.unicode()));
    }

    int target(int state, char16_t unit) const
    {
        if (state == 0)
            return m_rootTargets[unit];
        for (int e = m_states[std::size_t(state)].firstEdge; e >= 0; e = m_edges[std::size_t(e)].nextEdge) {
            if (m_edges[std::size_t(e)].unit == unit)
                return m_edges[std::size_t(e)].target;
        }
        return -1;
    }

    void addEdge(int state, char16_t unit, int to)
    {
        if (state == 0) {
            m_rootTargets[unit] = to;
            return;
        }
        m_edges.push_back({unit, to, m_states[std::size_t(state)].firstEdge});
        m_states[std::size_t(state)].firstEdge = int(m_edges.size()) - 1;
    }

    void redirectEdge(int state, char16_t unit, int to)
    {
        if (state == 0) {
            m_rootTargets[unit] = to;
            return;
        }
        for (int e = m_states[std::size_t(state)].firstEdge; e >= 0; e = m_edges[std::size_t(e)].nextEdge) {
            if (m_edges[std::size_t(e)].unit == unit) {
                m_edges[std::size_t(e)].target = to;
                return;
            }
        }
    }

    int addState(int length, int link)
    {
        m_states.push_back({length, link, -1});
        return int(m_states.size()) - 1;
    }

    // The standard online construction: one new state per unit, and a clone where an existing
    // state would otherwise stand for substrings of different end sets.
    void extend(char16_t unit)
    {
        const int current = addState(m_states[std::size_t(m_last)].length + 1, 0);
        int p = m_last;
        while (p >= 0 && target(p, unit) < 0) {
            addEdge(p, unit, current);
            p = m_states[std::size_t(p)].link;
        }
        if (p >= 0) {
            const int q = target(p, unit);
            if (m_states[std::size_t(p)].length + 1 == m_states[std::size_t(q)].length) {
                m_states[std::size_t(current)].link = q;
            } else {
                const int clone =
                    addState(m_states[std::size_t(p)].length + 1, m_states[std::size_t(q)].link);
                for (int e = m_states[std::size_t(q)].firstEdge; e >= 0; e = m_edges[std::size_t(e)].nextEdge)
                    addEdge(clone, m_edges[std::size_t(e)].unit, m_edges[std::size_t(e)].target);
                while (p >= 0 && target(p, unit) == q) {
                    redirectEdge(p, unit, clone);
                    p = m_states[std::size_t(p)].link;
                }
                m_states[std::size_t(q)].link = clone;
                m_states[std::size_t(current)].link = clone;
            }
        }
        m_last = current;
    }

    QString* m_text;
    qint64 m_searched = 0;
    bool m_indexed = false;
    std::vector<State> m_states;
    std::vector<Edge> m_edges;
    // The root has an edge for every unit of the text; a table keeps their lookup constant.
    std::vector<int> m_rootTargets;
    int m_last = 0;
};

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
    for (const QStringView junk :
         {QStringView(u"\""), QStringView(u">"), QStringView(u"<"), QStringView(u"http://"),
          QStringView(u"ttp://"), QStringView(u"tp://"), QStringView(u"p://"), QStringView(u"://")})
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
    FoundNames found(harvestText ? harvestText : &ownText);
    const FoundNameTest isFound = [&found](const QString& name) {
        return found.contains(name);
    };
    QStringList names;
    const QString prepared = preparePageText(html, extensions);
    for (const QStringView line : splitLines(prepared)) {
        const QString decoded = urlDecode(line.toString());
        if (const auto name = linkCandidate(decoded, isFound, true, extensions, excludedTexts)) {
            found.append(*name);
            names.append(*name);
        }
    }
    return names;
}

PageScan scanBrowserPage(const QString& html, QString* seenNames, const KnownExtensions& extensions,
                         const QStringList& excludedTexts)
{
    QString ownText;
    FoundNames seen(seenNames ? seenNames : &ownText);
    const FoundNameTest isSeen = [&seen](const QString& name) {
        return seen.contains(name);
    };
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
        if (line.contains(QLatin1String("<Frame"), Qt::CaseInsensitive) &&
            line.contains(QLatin1String("src="), Qt::CaseInsensitive)) {
            followFrame = true;
            continue;
        }
        std::optional<QString> name;
        if (passesLinkLineTest(line, extensions, excludedTexts))
            name = linkCandidate(line, isSeen, false, extensions, excludedTexts);
        else if (hasKnownExtension(line, extensions))
            name = textCandidate(line, isSeen, extensions);
        if (name) {
            seen.append(*name);
            scan.names.append(*name);
        }
    }
    return scan;
}

} // namespace brisquel
