#pragma once

#include "sources/known_extensions.h"
#include "sources/search_type.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace brisquel {

enum class SearchEngine
{
    Yahoo,
    Google
};

// One run of the search-engine harvester without its window: which result page comes next, the
// names each page adds, when to stop, and the files the run leaves.
class HarvestRun
{
public:
    struct Saved
    {
        QString listPath;     // BrowserSearch.txt
        QString archivePath;  // searches/{Engine} {term}.txt
        QString archiveError; // empty when the copy was made
        qint64 entries = 0;   // names in the list file
    };

    // `engineAddress` is scheme, host and port of the engine ("https://www.google.com").
    HarvestRun(SearchEngine engine, const QString& searchString, int targetCount,
               const QString& engineAddress, const QStringList& enabledExtensions);

    static std::optional<SearchEngine> engineFor(SearchType type);
    // The target of the "Get" box by its index: ~100 (also for none), ~200, ~500, ~1000.
    static int targetCountFor(int comboIndex);
    // "searches/Google red car.txt": the term as typed, made safe as one file name.
    static QString archiveFileName(SearchEngine engine, const QString& searchString);

    QUrl pageUrl() const;
    // Reads one result page (the body's HTML); returns the names it added.
    QStringList addPage(const QString& bodyHtml);
    // Another page is worth asking for: the target is not reached and the last page brought news.
    bool wantsNextPage() const;
    void nextPage();

    int foundCount() const { return m_foundCount; }

    // Writes BrowserSearch.txt in `dataRoot` and its copy under "searches". False (and *error)
    // only when the list itself cannot be written.
    bool finish(const QString& dataRoot, Saved* saved, QString* error);

private:
    SearchEngine m_engine;
    QString m_searchString;
    int m_targetCount;
    QUrl m_engineAddress;
    KnownExtensions m_extensions;
    int m_resultOffset = 1;
    int m_foundCount = 0;
    int m_pageNewCount = 0;
    bool m_pageRead = false;
    QString m_harvestText;
};

} // namespace brisquel
