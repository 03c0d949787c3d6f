#pragma once

#include "engine/lookup/lookup_request.h"
#include "engine/dispatch/lookup_router.h"
#include "engine/judging/name_facts.h"
#include "engine/dispatch/proxy_rotation.h"
#include "engine/dispatch/search_progress.h"
#include "engine/dispatch/server_pacer.h"
#include "engine/judging/verdict.h"
#include "engine/filing/result_list.h"
#include "sources/search_type.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace brisquel {

class AnswerRules;
class RdapBootstrap;
class ServerLimitsTable;
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

// Runs a search over a list file: keeps up to poolSize lookups in flight (a finished one takes
// the next entry at once), files every answer, keeps the resume position, and reports progress.
// The verdicts of one turn of the event loop are filed as a batch when the loop goes to sleep (or
// every thousand): one write per file, then verdict() for each, then verdictsFiled(); only then
// does the resume position pass them, and the position saved never passes a verdict the history
// has not written yet.
class SearchDriver : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPoolSize = 25;

    SearchDriver(SettingsStore* settings, const ExtensionTable* table, VerdictFiler* filer,
                 QObject* parent = nullptr);
    ~SearchDriver() override;

    void setPoolSize(int size);
    void setTimings(LookupTimings timings);
    // How long a registry may stay silent before its waiting names are given up.
    void setDeadServerMs(qint64 ms);
    void setUseProxy(bool useProxy);
    // The extension table changed: names read ahead but not yet asked follow it.
    void reloadServers();
    bool useProxy() const;
    void setDefaultExtension(const QString& extension);
    void setServerOverride(std::optional<ServerOverride> server);
    // The rules that judge the answers; the delivered ones until set.
    void setAnswerRules(std::shared_ptr<const AnswerRules> rules);
    // How hard each server may be asked; the delivered limits until set.
    void setServerLimits(const ServerLimitsTable& limits);
    // Which registries answer RDAP: where a WHOIS server gives no answer at all, and every
    // extension it knows when RDAP is preferred. None until set.
    void setRdapBootstrap(std::shared_ptr<const RdapBootstrap> bootstrap);
    void setPreferRdap(bool prefer);
    bool preferRdap() const;
    // Asks DNS for each name's NS records before its registry: a delegated name is registered
    // without a registry query. server: "HOST[:PORT]", empty for the system's resolver. Off until
    // set; false (nothing changed) when the server is no IP address. Taken at the next start.
    bool setDnsPrecheck(bool on, const QString& server = QString(), QString* error = nullptr);
    bool dnsPrecheck() const;
    // Names of the last search that DNS settled.
    qint64 dnsSettledCount() const;
    // Whether a name WHOIS calls free is asked again over RDAP (where the registry has a service)
    // before it is filed. On until set.
    void setConfirmFree(bool confirm);
    bool confirmFree() const;
    // Taken names of the last search in a deletion state or past their expiry (see Dropping.txt).
    qint64 droppingCount() const;
    // A name the filer's history found taken within the last `days` days is filed from there,
    // without a query (see settledByHistory); 0 asks every name.
    void setHistoryDays(int days);
    int historyDays() const;
    // Whether the resume position goes into the settings; on until set. A check beside the user's
    // search (the watch list) keeps it off, so that it never moves where that search goes on.
    void setKeepsPosition(bool keeps);
    qint64 historySettledCount() const;
    // A name in an imported zone (`folder`, the data folder's zones/) younger than `days` days is
    // filed taken without a query; 0 days (or an empty folder) uses no zone. Taken at the next start.
    void setZones(const QString& folder, int days);
    int zoneDays() const;
    // Names of the last search that zone files settled.
    qint64 zoneSettledCount() const;

    // The network proxies lookups go through: a search from its next start, the WHOIS window and
    // the browser's checker (through the router) at once; none: straight to the servers. While any are set,
    // the DNS pre-check is off unless a DNS server is set explicitly (DNS does not go through them).
    void setProxies(const QList<ProxyEntry>& proxies);
    int proxyCount() const;
    using ProxyStats = ProxyRotation::Stats;
    // Per proxy of the last search, in list order: lookups, failures, rests.
    QList<ProxyStats> proxyStats() const;
    // Whether the running or last search asks DNS first (dnsPrecheck() is what was asked for).
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
