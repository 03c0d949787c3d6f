#pragma once

#include "sources/known_extensions.h"
#include "sources/page_extraction.h"

#include <QString>
#include <QStringList>

namespace brisquel {

// The domain browser's finds apart from its window: every loaded page is read with the browser's
// page rules, each name new since the window opened is appended to the browse list file (where
// the status checker picks it up), and the frames of a page are handed back to be followed.
class BrowseScan
{
public:
    BrowseScan(QString listPath, const QStringList& enabledExtensions);

    QString listPath() const { return m_listPath; }
    // The browse list starts empty with every window and does not outlive it; false (and *error)
    // when an old list could not be removed.
    bool removeList(QString* error = nullptr) const;

    // A new page begins to load in the main view.
    void pageStarted() { m_pageNewCount = 0; }
    // Reads one page or frame body; the new names are already in the list file when it returns,
    // unless *error says why not.
    PageScan scanPage(const QString& bodyHtml, QString* error = nullptr);
    // Names already found may be found, listed and checked again.
    void forgetSeenNames() { m_seenNames.clear(); }

    qint64 foundCount() const { return m_foundCount; }
    int pageNewCount() const { return m_pageNewCount; }
    // What the scan of the latest page shows in the window's second status panel.
    QString pageStatus() const;

private:
    QString m_listPath;
    KnownExtensions m_extensions;
    QString m_seenNames;
    qint64 m_foundCount = 0;
    int m_pageNewCount = 0;
};

} // namespace brisquel
