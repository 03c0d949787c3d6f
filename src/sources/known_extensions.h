#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace brisquel {

// The enabled extensions of the extension table (without a dot, in table order, duplicates kept),
// with the matchers the page text rules need precomputed so that a scan of a large page stays
// linear in its length whatever the number of extensions.
class KnownExtensions
{
public:
    KnownExtensions();
    explicit KnownExtensions(const QStringList& enabledExtensions);

    const QStringList& extensions() const { return m_extensions; }
    bool isEmpty() const { return m_extensions.isEmpty(); }

    // True if the text holds "." followed by one of the extensions, compared case-insensitively.
    bool occursAfterDot(QStringView text) const;
    // The 0-based index of the first "." followed by the first extension (in table order) that
    // occurs that way anywhere in the text, and that extension's length; false when none does.
    bool firstInTableOrder(QStringView text, qsizetype* dotIndex, qsizetype* extensionLength) const;
    // How many extension rows the text ends with, compared exactly, counting every row.
    int rowsEndingAt(QStringView text, qsizetype end) const;
    // True when inserting line breaks after a delimiter can neither create nor destroy a match
    // of another row, so that all rows can be handled in one pass over the text.
    bool breaksAreIndependent() const { return m_breaksIndependent; }

private:
    // A trie over UTF-16 units, children kept sorted per node; node 0 is the root.
    class Trie
    {
    public:
        Trie();
        // Adds the path of the units and returns its end node.
        int addPath(QStringView units);
        // Sorts the children; call once after the last addPath().
        void finish();
        int child(int node, char16_t unit) const;
        int& value(int node) { return m_nodes[std::size_t(node)].value; }
        int value(int node) const { return m_nodes[std::size_t(node)].value; }

    private:
        struct Edge
        {
            char16_t unit;
            int target;
        };
        struct Node
        {
            std::vector<Edge> edges; // sorted by unit after finish()
            int value = 0;
        };
        std::vector<Node> m_nodes;
    };

    QStringList m_extensions;
    // Searching after a dot works on case-folded units; rows that share a folded form keep the
    // smallest row index, because the first row in table order wins.
    bool m_searchByTrie = false;
    Trie m_folded;
    int m_maxFoldedLength = 0;
    QStringList m_dotted; // "." + extension, for the general search
    // Breaking works on the exact, reversed extensions; the value counts the rows.
    bool m_breaksIndependent = false;
    Trie m_reversed;
    int m_maxLength = 0;
};

// Case folding of one unit as the case-insensitive searches of QString apply it outside
// surrogate pairs.
inline char16_t foldUnit(char16_t unit)
{
    return unit < 0x80 ? (unit >= u'A' && unit <= u'Z' ? char16_t(unit + 0x20) : unit)
                       : char16_t(QChar::toCaseFolded(char32_t(unit)));
}

} // namespace brisquel
