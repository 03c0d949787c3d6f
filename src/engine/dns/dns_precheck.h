#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace brisquel {

// Asks DNS for the NS records of a name before its registry is asked: a name the zone delegates is
// certainly registered and needs no (slow, rationed) WHOIS query. Every other outcome (no such
// name, no data, a server failure, a refusal, no answer) leaves the name to the registry.
//
// Runs on the thread's event loop: c-ares does the protocol, socket notifiers and one timer drive it.
// Results are always reported from the event loop, never from inside a call to this class, so a
// receiver may check more names, cancel or delete the pre-check from its slot.
class DnsPrecheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultMaxInFlight = 300;
    static constexpr int DefaultTimeoutMs = 2000;
    static constexpr int DefaultTries = 2;

    explicit DnsPrecheck(QObject* parent = nullptr);
    ~DnsPrecheck() override;

    // Empty: the system's resolver configuration (/etc/resolv.conf). Otherwise "HOST", "HOST:PORT"
    // or "[V6]:PORT" with an IP address for HOST (port 53 when left out). False with a message when
    // malformed. Like setTimeout(), it takes effect once no query is in flight.
    bool setResolver(const QString& server, QString* error);
    // Whether setResolver() would take the text, without a resolver to set.
    static bool isResolverAddress(const QString& server, QString* error = nullptr);
    // The most names in flight; the pre-check starts below it and adapts to the resolver (window()).
    void setMaxInFlight(int n);
    int maxInFlight() const;
    // The names the resolver is given at once now: grows by one with each answer up to maxInFlight(),
    // halves when queries go unanswered, so that a lossy or rationing resolver is not flooded.
    int window() const;
    // Per try; each further try waits twice as long as the one before.
    void setTimeout(int ms, int tries);

    // Asks about an ASCII (ACE) host name; a trailing dot and capitals are fine. Exactly one
    // checked() follows for the id, unless cancelAll() comes first. The first name of an extension
    // sends a probe for a random name under it, and the extension's names wait for its outcome:
    // only an extension whose zone says "no such name" (or "no data") to the probe is checked by
    // DNS; any other outcome (a wildcard answer, a delegation, a failure) answers its names
    // delegated=false and reports extensionSkipped() once.
    void check(quint64 id, const QString& aceName);
    // pending() is below the window (below the maximum once switched off).
    bool hasRoom() const;
    // Names whose checked() has not been sent yet: waiting, in flight, or answered but not yet reported.
    int pending() const;
    // Drops every query and waiting name without a signal; the pre-check stays usable.
    void cancelAll();
    // Cancels everything and forgets the extensions' findings and the switched-off state, for a new run.
    void resetRun();
    bool isSwitchedOff() const;
    // DNS queries sent since construction, probes included.
    qint64 queriesSent() const;

Q_SIGNALS:
    // `undelegated`: the zone answered that nobody holds the name; false when the check failed,
    // timed out or was given up, which says nothing either way.
    void checked(quint64 id, bool delegated, bool undelegated);
    // DNS cannot be trusted for this extension this run (a wildcard zone, most often).
    void extensionSkipped(const QString& extension);
    // No resolver answered (or none is configured), or it left at least half of its recent queries
    // unanswered: sent once a run, after which every pending and every later name is answered
    // delegated=false.
    void switchedOff(const QString& message);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace brisquel
