#include "sources/known_extensions.h"

#include <algorithm>
#include <climits>

namespace brisquel {

namespace {

bool hasSurrogate(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
}

// Characters after which line breaks are inserted, and the line ends themselves: an extension
// holding one of them could match across an inserted break.
bool breaksMatchesOf(const QString& extension)
{
    return std::any_of(extension.cbegin(), extension.cend(),
                       [](QChar c) { return QStringView(u" /\"':?\r\n").contains(c); });
}

} // namespace

KnownExtensions::Trie::Trie()
    : m_nodes(1)
{}

int KnownExtensions::Trie::addPath(QStringView units)
{
    int node = 0;
    for (const QChar c : units) {
        auto& edges = m_nodes[std::size_t(node)].edges;
        const auto found =
            std::find_if(edges.begin(), edges.end(), [c](const Edge& e) { return e.unit == c.unicode(); });
        if (found != edges.end()) {
            node = found->target;
            continue;
        }
        const int created = int(m_nodes.size());
        edges.push_back({c.unicode(), created});
        m_nodes.emplace_back();
        node = created;
    }
    return node;
}

void KnownExtensions::Trie::finish()
{
    for (auto& node : m_nodes)
        std::sort(node.edges.begin(), node.edges.end(),
                  [](const Edge& a, const Edge& b) { return a.unit < b.unit; });
}

int KnownExtensions::Trie::child(int node, char16_t unit) const
{
    const auto& edges = m_nodes[std::size_t(node)].edges;
    const auto found = std::lower_bound(edges.begin(), edges.end(), unit,
                                        [](const Edge& e, char16_t u) { return e.unit < u; });
    return found != edges.end() && found->unit == unit ? found->target : -1;
}

KnownExtensions::KnownExtensions() = default;

KnownExtensions::KnownExtensions(const QStringList& enabledExtensions)
    : m_extensions(enabledExtensions)
{
    // Unusual rows (empty, or holding surrogates whose folding depends on their neighbour) are
    // rare enough to be left to QString's own search, which defines the comparison.
    m_searchByTrie = std::none_of(m_extensions.cbegin(), m_extensions.cend(),
                                  [](const QString& e) { return e.isEmpty() || hasSurrogate(e); });
    m_breaksIndependent = std::none_of(m_extensions.cbegin(), m_extensions.cend(),
                                       [](const QString& e) { return e.isEmpty() || breaksMatchesOf(e); });

    for (int row = 0; row < m_extensions.size(); ++row) {
        const QString& extension = m_extensions.at(row);
        m_dotted.append(QLatin1Char('.') + extension);
        if (m_searchByTrie) {
            QString folded(extension.size(), Qt::Uninitialized);
            std::transform(extension.cbegin(), extension.cend(), folded.begin(),
                           [](QChar c) { return QChar(foldUnit(c.unicode())); });
            int& firstRow = m_folded.value(m_folded.addPath(folded));
            if (firstRow == 0)
                firstRow = row + 1;
            m_maxFoldedLength = std::max(m_maxFoldedLength, int(folded.size()));
        }
        if (m_breaksIndependent) {
            QString reversed = extension;
            std::reverse(reversed.begin(), reversed.end());
            ++m_reversed.value(m_reversed.addPath(reversed));
            m_maxLength = std::max(m_maxLength, int(extension.size()));
        }
    }
    m_folded.finish();
    m_reversed.finish();
}

bool KnownExtensions::occursAfterDot(QStringView text) const
{
    if (!m_searchByTrie) {
        return std::any_of(m_dotted.cbegin(), m_dotted.cend(),
                           [text](const QString& d) { return text.contains(d, Qt::CaseInsensitive); });
    }
    // Any match will do, so the first dot that starts one ends the search; firstInTableOrder()
    // would keep looking for a better row.
    const qsizetype size = text.size();
    for (qsizetype dot = text.indexOf(u'.'); dot >= 0; dot = text.indexOf(u'.', dot + 1)) {
        int node = 0;
        for (qsizetype i = dot + 1; i < size && i - dot <= m_maxFoldedLength; ++i) {
            node = m_folded.child(node, foldUnit(text[i].unicode()));
            if (node < 0)
                break;
            if (m_folded.value(node) != 0)
                return true;
        }
    }
    return false;
}

bool KnownExtensions::firstInTableOrder(QStringView text, qsizetype* dotIndex,
                                        qsizetype* extensionLength) const
{
    if (!m_searchByTrie) {
        for (int row = 0; row < m_dotted.size(); ++row) {
            const qsizetype found = text.indexOf(m_dotted.at(row), 0, Qt::CaseInsensitive);
            if (found >= 0) {
                *dotIndex = found;
                *extensionLength = m_extensions.at(row).size();
                return true;
            }
        }
        return false;
    }
    // A row's first match is the first time the scan meets it, so keeping the smallest row seen
    // gives the first row in table order at its first position.
    int bestRow = INT_MAX;
    const qsizetype size = text.size();
    for (qsizetype dot = text.indexOf(u'.'); dot >= 0 && bestRow > 0; dot = text.indexOf(u'.', dot + 1)) {
        int node = 0;
        for (qsizetype i = dot + 1; i < size && i - dot <= m_maxFoldedLength; ++i) {
            node = m_folded.child(node, foldUnit(text[i].unicode()));
            if (node < 0)
                break;
            const int row = m_folded.value(node) - 1;
            if (row >= 0 && row < bestRow) {
                bestRow = row;
                *dotIndex = dot;
                *extensionLength = i - dot;
            }
        }
    }
    return bestRow != INT_MAX;
}

int KnownExtensions::rowsEndingAt(QStringView text, qsizetype end) const
{
    int rows = 0;
    int node = 0;
    for (qsizetype i = end - 1; i >= 0 && end - i <= m_maxLength; --i) {
        node = m_reversed.child(node, text[i].unicode());
        if (node < 0)
            break;
        rows += m_reversed.value(node);
    }
    return rows;
}

} // namespace brisquel
