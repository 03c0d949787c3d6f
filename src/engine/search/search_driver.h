#pragma once

#include "engine/lookup/lookup_request.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/judging/name_facts.h"
#include "engine/dispatch/proxy_rotation.h"
#include "engine/dispatch/search_progress.h"
#include "engine/search/search_settings.h"
#include "engine/dispatch/server_pacer.h"
#include "engine/judging/verdict.h"
#include "engine/filing/result_list_id.h"
#include "sources/search_type.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <type_traits>

namespace brisquel {

class ExtensionTable;
class SettingsStore;
class VerdictFiler;

struct SearchRequest
{
    QString listFile; // full path
    SearchType type = SearchType::CustomList;
    QString startNumber; // as typed; must be a whole number of at least 1
    QString entryTotal;  // as typed; for display
};

// Runs a search over a list file: keeps up to the settings' poolSize lookups in flight (a finished one takes
// the next entry at once), files every answer, keeps the resume position, and reports progress.
// The verdicts of one turn of the event loop are filed as a batch when the loop goes to sleep (or
// every thousand): one write per file, then verdict() for each, then verdictsFiled(); only then
// does the resume position pass them, and the position saved never passes a verdict the history
// has not written yet.
class SearchDriver : public QObject
{
    Q_OBJECT
public:
    SearchDriver(SettingsStore* settings, const ExtensionTable* table, VerdictFiler* filer,
                 QObject* parent = nullptr);
    ~SearchDriver() override;

    // Takes the settings whole; what a running search keeps until its end, the next start takes.
    // False with *error when the DNS server is no IP address: the pre-check is then off.
    bool setSettings(SearchSettings settings, QString* error = nullptr);
    const SearchSettings& settings() const;
    // One value of the settings changed, for a signal that carries it alone:
    // changeSetting(&SearchSettings::preferRdap, true).
    template <typename T>
    void changeSetting(T SearchSettings::*field, std::type_identity_t<T> value)
    {
        SearchSettings changed = settings();
        changed.*field = std::move(value);
        setSettings(std::move(changed));
    }
    // The extension table changed: names read ahead but not yet asked follow it.
    void reloadServers();

    // Names of the last search that DNS settled.
    qint64 dnsSettledCount() const;
    // Taken names of the last search in a deletion state or past their expiry (see Dropping.txt).
    qint64 droppingCount() const;
    qint64 historySettledCount() const;
    // Names of the last search that zone files settled.
    qint64 zoneSettledCount() const;
    int proxyCount() const;
    using ProxyStats = ProxyRotation::Stats;
    // Per proxy of the last search, in list order: lookups, failures, rests.
    QList<ProxyStats> proxyStats() const;
    // Whether the running or last search asks DNS first (settings().dnsPrecheck is what was asked for).
    bool dnsPrecheckInEffect() const;

    using ServerStats = ServerPacer::Stats;
    // Per server of the last search, the busiest first.
    QList<ServerStats> serverStats() const;

    // False with a message when the numbers are not whole numbers or the list file is missing;
    // the driver then stays idle.
    bool start(const SearchRequest& request, QString* error);
    // Stops at once: lookups in flight are dropped and will be looked up again on resume.
    void stop();

    bool isRunning() const;
    // The lowest entry number whose lookup has not ended.
    qint64 resumePosition() const;
    // Where names go; the domain browser's checker and the record window route through it too.
    const LookupRouter& router() const;
    // Where the search stands now; progressChanged() says when to look again.
    SearchProgress progress() const;
    qint64 unansweredCount() const;
    QString unansweredFilePath() const;
    // Why a find, an unanswered name or the position could not be saved in the last search; empty
    // when everything was saved.
    QString saveFailure() const;
    // Why the last search stopped reading its list (a read error, a list cut short); empty if it did not.
    QString listFailure() const;

Q_SIGNALS:
    // Status bar panel 3: connections, servers that rest, the DNS pre-check.
    void statusText(int panel, const QString& text);
    void progressChanged();
    // A verdict on disk (an unanswered name also when Unanswered.txt could not take it).
    void verdict(const QString& domain, brisquel::Verdict verdict, const QString& detail,
                 const brisquel::NameFacts& facts);
    // The verdicts told since the last batch are all told: a listener that keeps them too (the
    // command line's output) writes them now, and stops the search when it cannot; the resume
    // position passes them only after this.
    void verdictsFiled();
    void unansweredCountChanged(qint64 count);
    // Something the user should read: a skipped entry, a server that cannot be reached, a file
    // that cannot be written.
    void problem(const QString& message);
    // The search stopped because a find could not be saved or the list could not be read on;
    // finished(true) follows.
    void searchStopped(const QString& message);
    // A server refused or rationed queries and is given a rest: "Waiting for HOST: limit reached, 42 s".
    void serverWaiting(const QString& text);
    // The list is exhausted and nothing is in flight, or stop() was called.
    void finished(bool stopped);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace brisquel
