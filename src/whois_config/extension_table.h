#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace brisquel {

struct ExtensionRow
{
    QString extension; // without a leading dot, lower case; "proxy" is the proxy row
    QString server;
    int port = 0; // 1 to 65535 in every row that loaded
    bool enabled = false;

    friend bool operator==(const ExtensionRow&, const ExtensionRow&) = default;
};

// The in-memory table of extensions and their WHOIS servers. Row order matters: the first row
// of an extension wins the lookup and the last row "com" is the fallback.
class ExtensionTable
{
public:
    static constexpr int NoRow = -1;
    // Row indices fit a 16-bit signed number: a load fills at most this many rows.
    static constexpr int MaxRows = 32767;

    ExtensionTable() = default;
    explicit ExtensionTable(QList<ExtensionRow> rows);

    const QList<ExtensionRow>& rows() const { return m_rows; }
    int rowCount() const { return int(m_rows.size()); }
    const ExtensionRow& row(int index) const { return m_rows.at(index); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    void setRows(QList<ExtensionRow> rows);

    // The row that serves the domain: "proxy" when useProxy, else the row of the text after the
    // last dot (lower-cased), else the last "com" row, else row 0. NoRow on an empty table.
    int findExtensionIndex(const QString& domain, bool useProxy) const;

    // Enabled rows other than "proxy", in table order: what the page text rules recognise.
    // Each extension appears once, and an empty extension never (it would match any text).
    QStringList enabledExtensions() const;

private:
    QList<ExtensionRow> m_rows;
};

} // namespace brisquel
