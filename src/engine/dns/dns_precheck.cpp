#include "dns_precheck.h"

#include "engine/dns/dns_wire.h"
#include "engine/dns/resolver_address.h"
#include "engine/dns/resolver_window.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <ares.h>
#include <arpa/inet.h>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <utility>

namespace brisquel {

namespace {

constexpr int ProbeLabelLength = 20;
constexpr int ReceiveBufferBytes = 1024 * 1024;

// Failures that mean nothing came back from the resolver at all.
bool noResolverStatus(int status)
{
    return status == ARES_ETIMEOUT || status == ARES_ECONNREFUSED || status == ARES_ESERVFAIL ||
           status == ARES_EBADRESP || status == ARES_EOF;
}

} // namespace

class DnsPrecheck::Private
{
public:
    explicit Private(DnsPrecheck* q)
        : q(q)
    {}

    struct Name
    {
        quint64 id = 0;
        QByteArray name;
        QString extension;
    };
    struct Query
    {
        Name name;
        bool probe = false;
        qint64 sentAt = 0; // ms on clock
    };
    // Handed to c-ares with each query; c-ares gives it back exactly once, cancelled or not.
    struct QueryToken
    {
        Private* d;
        quint64 serial;
    };
    struct Result
    {
        quint64 serial = 0;
        int status = ARES_SUCCESS;
        int timeouts = 0;
        DnsReply reply;
    };
    struct Event
    {
        enum class Kind
        {
            Checked,
            ExtensionSkipped,
            SwitchedOff
        };
        Kind kind = Kind::Checked;
        quint64 id = 0;
        bool delegated = false;
        QString text;
        // The zone answered, and nobody holds the name there: a failed or skipped check is not that.
        bool undelegated = false;
    };
    enum class Zone
    {
        Probing,
        Checked,
        Skipped
    };
    struct Watch
    {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static void onSocketState(void* data, ares_socket_t socket, int readable, int writable);
    static void onQueryDone(void* arg, int status, int timeouts, unsigned char* abuf, int alen);

    bool ensureChannel();
    void destroyChannel();
    void dropWatch(ares_socket_t socket);
    void send(const Name& name, bool probe);
    void sendProbe(const QString& extension);
    void process(ares_socket_t readable, ares_socket_t writable);
    void settle();
    void handle(const Result& result);
    void noticeLostFirstTries();
    bool judgeResolver();
    int room() const;
    void probeEnded(const QString& extension, bool clean);
    void answer(quint64 id, bool delegated, bool undelegated = false);
    void addEvent(Event event);
    void scheduleDelivery();
    void switchOff(const QString& message);
    void dropEverything();
    void deliver();
    QString serversText() const;

    DnsPrecheck* q;
    ares_channel channel = nullptr;
    bool libraryReady = false;
    QString initFailure;
    bool channelStale = false; // the settings changed since the channel was made
    std::optional<ResolverAddress> resolver;
    int timeoutMs = DefaultTimeoutMs;
    int tries = DefaultTries;
    int maxInFlight = DefaultMaxInFlight;
    quint64 nextSerial = 1;
    ResolverWindow window{DefaultMaxInFlight, nextSerial}; // for the run

    QHash<ares_socket_t, Watch> watches;
    QTimer aresTimer;
    QElapsedTimer clock;
    quint64 lostScanFrom = 0;          // the queries before are known to have lost their first try, or ended
    std::map<quint64, Query> inFlight; // by serial, so in the order sent
    int namesInFlight = 0;
    std::deque<Name> ready; // of checked extensions, waiting for room
    QHash<QString, std::deque<Name>> waitingForProbe;
    int namesWaitingForProbe = 0;
    // Answers not yet reported still count as pending: a caller that fills every free place at once
    // then waits for them, even when no query is sent (switched off, skipped extension).
    int answersWaiting = 0;
    QHash<QString, Zone> zones;
    QList<Result> results; // from c-ares' callbacks, handled once c-ares has returned
    std::deque<Event> events;
    bool deliveryQueued = false;
    bool answerSeen = false;
    bool switchedOff = false;
    qint64 queriesSent = 0;
};

DnsPrecheck::DnsPrecheck(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>(this))
{
    d->clock.start();
    d->aresTimer.setSingleShot(true);
    d->aresTimer.setTimerType(Qt::PreciseTimer);
    connect(&d->aresTimer, &QTimer::timeout, this, [this] { d->process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
    const int status = ares_library_init(ARES_LIB_INIT_ALL);
    d->libraryReady = status == ARES_SUCCESS;
    if (!d->libraryReady)
        d->initFailure = QString::fromUtf8(ares_strerror(status));
}

DnsPrecheck::~DnsPrecheck()
{
    d->destroyChannel();
    if (d->libraryReady)
        ares_library_cleanup();
}

bool DnsPrecheck::isResolverAddress(const QString& server, QString* error)
{
    return server.trimmed().isEmpty() || ResolverAddress::parse(server.trimmed(), error).has_value();
}

bool DnsPrecheck::setResolver(const QString& server, QString* error)
{
    const QString text = server.trimmed();
    if (text.isEmpty()) {
        d->resolver.reset();
        d->channelStale = true;
        return true;
    }
    const std::optional<ResolverAddress> address = ResolverAddress::parse(text, error);
    if (!address)
        return false;
    d->resolver = *address;
    d->channelStale = true;
    return true;
}

void DnsPrecheck::setMaxInFlight(int n)
{
    d->maxInFlight = std::max(1, n);
    d->window.setMaximum(d->maxInFlight);
    d->settle();
}

int DnsPrecheck::maxInFlight() const
{
    return d->maxInFlight;
}

int DnsPrecheck::window() const
{
    return d->window.size();
}

void DnsPrecheck::setTimeout(int ms, int tries)
{
    d->timeoutMs = std::max(1, ms);
    d->tries = std::max(1, tries);
    d->channelStale = true;
}

void DnsPrecheck::check(quint64 id, const QString& aceName)
{
    if (d->switchedOff) {
        d->answer(id, false);
        return;
    }
    const QByteArray name = dnsQueryName(aceName);
    if (name.isEmpty()) {
        d->answer(id, false);
        return;
    }
    if (!d->ensureChannel()) {
        d->switchOff(
            QStringLiteral("The DNS resolver configuration could not be loaded (%1); checking every name "
                           "with its registry.")
                .arg(d->initFailure));
        d->answer(id, false);
        return;
    }
    Private::Name entry{id, name, dnsZoneOf(name)};
    switch (d->zones.value(entry.extension, Private::Zone::Probing)) {
    case Private::Zone::Probing:
        d->waitingForProbe[entry.extension].push_back(entry);
        ++d->namesWaitingForProbe;
        if (!d->zones.contains(entry.extension)) {
            d->zones.insert(entry.extension, Private::Zone::Probing);
            d->sendProbe(entry.extension);
        }
        break;
    case Private::Zone::Checked:
        d->ready.push_back(entry);
        break;
    case Private::Zone::Skipped:
        d->answer(id, false);
        break;
    }
    d->settle();
}

bool DnsPrecheck::hasRoom() const
{
    return pending() < d->room();
}

int DnsPrecheck::pending() const
{
    return d->namesInFlight + int(d->ready.size()) + d->namesWaitingForProbe + d->answersWaiting;
}

void DnsPrecheck::cancelAll()
{
    d->dropEverything();
    d->events.clear();
    d->answersWaiting = 0;
    // Probes are dropped with the rest: their extensions are probed again by their next name.
    for (auto it = d->zones.begin(); it != d->zones.end();) {
        if (it.value() == Private::Zone::Probing)
            it = d->zones.erase(it);
        else
            ++it;
    }
    d->settle();
}

void DnsPrecheck::resetRun()
{
    cancelAll();
    d->zones.clear();
    d->window = ResolverWindow(d->maxInFlight, d->nextSerial);
    d->answerSeen = false;
    d->switchedOff = false;
    // A configuration that could not be loaded may have been mended since.
    if (!d->channel && d->libraryReady)
        d->initFailure.clear();
}

bool DnsPrecheck::isSwitchedOff() const
{
    return d->switchedOff;
}

qint64 DnsPrecheck::queriesSent() const
{
    return d->queriesSent;
}

bool DnsPrecheck::Private::ensureChannel()
{
    if (channel && (!channelStale || !inFlight.empty()))
        return true;
    destroyChannel();
    if (!initFailure.isEmpty())
        return false;
    channelStale = false;
    ares_options options;
    std::memset(&options, 0, sizeof options);
    // No search list (ares_query never applies it, this makes sure) and recursion desired, the
    // default. NOCHECKRESP hands SERVFAIL and REFUSED over instead of trying again: they are answers
    // (the resolver is there) that send the name to its registry.
    options.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOCHECKRESP;
    options.timeout = timeoutMs;
    options.tries = tries;
    options.ndots = 1;
    options.sock_state_cb = &Private::onSocketState;
    options.sock_state_cb_data = this;
    // A nearby resolver can send the replies of every query in flight at once; Linux's default
    // receive buffer holds only about 256 small datagrams, and a dropped one costs a timeout.
    options.socket_receive_buffer_size = ReceiveBufferBytes;
    int mask = ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_NDOTS |
               ARES_OPT_SOCK_STATE_CB | ARES_OPT_SOCK_RCVBUF;
    // A resolver of our own owes nothing to the system's configuration, not even a readable file.
    char emptyConfiguration[] = "/dev/null";
    if (resolver) {
        options.resolvconf_path = emptyConfiguration;
        mask |= ARES_OPT_RESOLVCONF;
    }
    int status = ares_init_options(&channel, &options, mask);
    if (status == ARES_SUCCESS && resolver) {
        ares_addr_port_node server;
        std::memset(&server, 0, sizeof server);
        server.udp_port = resolver->port;
        server.tcp_port = resolver->port;
        if (resolver->address.protocol() == QAbstractSocket::IPv4Protocol) {
            server.family = AF_INET;
            server.addr.addr4.s_addr = htonl(resolver->address.toIPv4Address());
        } else {
            server.family = AF_INET6;
            const Q_IPV6ADDR v6 = resolver->address.toIPv6Address();
            std::memcpy(server.addr.addr6._S6_un._S6_u8, v6.c, sizeof v6.c);
        }
        status = ares_set_servers_ports(channel, &server);
    }
    if (status != ARES_SUCCESS) {
        initFailure = QString::fromUtf8(ares_strerror(status));
        destroyChannel();
        return false;
    }
    return true;
}

void DnsPrecheck::Private::destroyChannel()
{
    aresTimer.stop();
    if (channel) {
        // Runs every query's callback (dropped, as destruction) and closes the sockets through
        // onSocketState.
        ares_destroy(std::exchange(channel, nullptr));
    }
    const QList<ares_socket_t> sockets = watches.keys();
    for (const ares_socket_t socket : sockets)
        dropWatch(socket);
}

void DnsPrecheck::Private::onSocketState(void* data, ares_socket_t socket, int readable, int writable)
{
    auto* d = static_cast<Private*>(data);
    if (!readable && !writable) {
        d->dropWatch(socket);
        return;
    }
    Watch& watch = d->watches[socket];
    const auto notifier = [d, socket](QSocketNotifier::Type type) {
        auto* notifier = new QSocketNotifier(qintptr(socket), type, d->q);
        const bool read = type == QSocketNotifier::Read;
        QObject::connect(notifier, &QSocketNotifier::activated, d->q, [d, socket, read] {
            d->process(read ? socket : ARES_SOCKET_BAD, read ? ARES_SOCKET_BAD : socket);
        });
        return notifier;
    };
    if (readable && !watch.read)
        watch.read = notifier(QSocketNotifier::Read);
    if (watch.read)
        watch.read->setEnabled(readable);
    if (writable && !watch.write)
        watch.write = notifier(QSocketNotifier::Write);
    if (watch.write)
        watch.write->setEnabled(writable);
}

void DnsPrecheck::Private::dropWatch(ares_socket_t socket)
{
    const Watch watch = watches.take(socket);
    // c-ares may close a socket while its notifier is reporting: let the event loop delete it.
    for (QSocketNotifier* notifier : {watch.read, watch.write}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->disconnect();
        notifier->deleteLater();
    }
}

void DnsPrecheck::Private::onQueryDone(void* arg, int status, int timeouts, unsigned char* abuf, int alen)
{
    const std::unique_ptr<QueryToken> token(static_cast<QueryToken*>(arg));
    if (status == ARES_ECANCELLED || status == ARES_EDESTRUCTION)
        return;
    Private* d = token->d;
    const auto query = d->inFlight.find(token->serial);
    if (query == d->inFlight.end())
        return;
    Result result;
    result.serial = token->serial;
    result.status = status;
    result.timeouts = timeouts;
    // The buffer lives only as long as this call.
    if (abuf && alen > 0)
        result.reply = parseDnsReply(abuf, alen, query->second.name.name);
    d->results.append(result);
}

void DnsPrecheck::Private::send(const Name& name, bool probe)
{
    const quint64 serial = nextSerial++;
    inFlight.emplace(serial, Query{name, probe, clock.elapsed()});
    if (!probe)
        ++namesInFlight;
    ++queriesSent;
    ares_query(channel, name.name.constData(), DnsClassIn, DnsTypeNs, &Private::onQueryDone,
               new QueryToken{this, serial});
}

// A random name under the extension: a zone that delegates or answers it answers any name.
void DnsPrecheck::Private::sendProbe(const QString& extension)
{
    QByteArray label(ProbeLabelLength, 'a');
    for (char& c : label)
        c = char('a' + QRandomGenerator::global()->bounded(26));
    send(Name{0, label + '.' + extension.toLatin1(), extension}, true);
}

void DnsPrecheck::Private::process(ares_socket_t readable, ares_socket_t writable)
{
    if (!channel)
        return;
    ares_process_fd(channel, readable, writable);
    settle();
}

// Everything after a call into c-ares: the results it reported, the names that now have room,
// and the timer for c-ares' next timeout.
void DnsPrecheck::Private::settle()
{
    for (;;) {
        while (channel && !switchedOff && !ready.empty() && namesInFlight < window.size()) {
            Name name = std::move(ready.front());
            ready.pop_front();
            send(name, false);
        }
        if (results.isEmpty())
            break;
        const QList<Result> batch = std::exchange(results, {});
        for (const Result& result : batch)
            handle(result);
    }
    noticeLostFirstTries();
    timeval buffer;
    const timeval* next = channel ? ares_timeout(channel, nullptr, &buffer) : nullptr;
    if (!next) {
        aresTimer.stop();
    } else {
        const qint64 ms = qint64(next->tv_sec) * 1000 + (next->tv_usec + 999) / 1000;
        aresTimer.start(int(std::min<qint64>(ms, INT_MAX)));
    }
}

void DnsPrecheck::Private::handle(const Result& result)
{
    const auto found = inFlight.find(result.serial);
    if (found == inFlight.end())
        return;
    const Query query = found->second;
    inFlight.erase(found);
    if (!query.probe)
        --namesInFlight;
    const DnsReply& reply = result.reply;
    using FirstTry = ResolverWindow::FirstTry;
    window.firstTry(result.serial,
                    result.timeouts > 0 ? FirstTry::Lost
                                        : (reply.received ? FirstTry::Answered : FirstTry::Other),
                    nextSerial);
    if (reply.received) {
        answerSeen = true;
    } else if (!answerSeen && noResolverStatus(result.status)) {
        // Nothing has ever come back this run: the resolver is not there, and every name would wait
        // for its timeouts. This is usually the first probe.
        if (!query.probe)
            answer(query.name.id, false);
        switchOff(QStringLiteral("No DNS resolver answered (%1); checking every name with its registry.")
                      .arg(serversText()));
        return;
    }
    // Switching off answers every other name, a probe's included; this query's name is answered below.
    const bool judgedOff = judgeResolver();
    if (query.probe) {
        // Only a zone seen to say "no such name" (or "no data") for a name nobody holds is trusted.
        if (!judgedOff)
            probeEnded(query.name.extension, reply.saysNobodyHolds());
        return;
    }
    answer(query.name.id, reply.wellFormed && reply.delegated, reply.saysNobodyHolds());
}

// c-ares reports a query only once its last try ends; a first try still unanswered after its
// timeout is lost already. The queries in flight were sent in serial order, so their first tries
// run out in that order too.
void DnsPrecheck::Private::noticeLostFirstTries()
{
    const qint64 now = clock.elapsed();
    for (auto query = inFlight.lower_bound(lostScanFrom);
         query != inFlight.end() && now - query->second.sentAt >= timeoutMs; ++query) {
        window.firstTry(query->first, ResolverWindow::FirstTry::Lost, nextSerial);
        lostScanFrom = query->first + 1;
    }
    judgeResolver();
}

// A resolver that loses half of what it is sent costs every other name a timeout, more than its
// answers save: switched off for the run.
bool DnsPrecheck::Private::judgeResolver()
{
    if (switchedOff || !window.mostlyUnanswered())
        return false;
    switchOff(
        QStringLiteral("The DNS resolver (%1) left %2 of the last %3 queries unanswered; checking every "
                       "name with its registry.")
            .arg(serversText())
            .arg(window.unanswered())
            .arg(window.queries()));
    return true;
}

// Once switched off, names are answered at once: no reason to hand them over a few at a time.
int DnsPrecheck::Private::room() const
{
    return switchedOff ? maxInFlight : window.size();
}

void DnsPrecheck::Private::probeEnded(const QString& extension, bool clean)
{
    zones.insert(extension, clean ? Zone::Checked : Zone::Skipped);
    std::deque<Name> names = waitingForProbe.take(extension);
    namesWaitingForProbe -= int(names.size());
    if (clean) {
        for (Name& name : names)
            ready.push_back(std::move(name));
        return;
    }
    addEvent({Event::Kind::ExtensionSkipped, 0, false, extension});
    for (const Name& name : names)
        answer(name.id, false);
}

void DnsPrecheck::Private::answer(quint64 id, bool delegated, bool undelegated)
{
    ++answersWaiting;
    addEvent({Event::Kind::Checked, id, delegated, QString(), undelegated});
}

void DnsPrecheck::Private::addEvent(Event event)
{
    events.push_back(std::move(event));
    scheduleDelivery();
}

void DnsPrecheck::Private::scheduleDelivery()
{
    if (deliveryQueued)
        return;
    deliveryQueued = true;
    QMetaObject::invokeMethod(
        q, [this] { deliver(); }, Qt::QueuedConnection);
}

void DnsPrecheck::Private::switchOff(const QString& message)
{
    if (switchedOff)
        return;
    switchedOff = true;
    addEvent({Event::Kind::SwitchedOff, 0, false, message});
    QList<quint64> ids;
    for (const auto& [serial, query] : inFlight) {
        if (!query.probe)
            ids.append(query.name.id);
    }
    for (const Name& name : ready)
        ids.append(name.id);
    for (const std::deque<Name>& names : std::as_const(waitingForProbe)) {
        for (const Name& name : names)
            ids.append(name.id);
    }
    dropEverything();
    for (const quint64 id : std::as_const(ids))
        answer(id, false);
}

void DnsPrecheck::Private::dropEverything()
{
    inFlight.clear();
    namesInFlight = 0;
    ready.clear();
    waitingForProbe.clear();
    namesWaitingForProbe = 0;
    results.clear();
    window.dropped(nextSerial);
    // The callbacks see the queries gone and drop them.
    if (channel)
        ares_cancel(channel);
}

void DnsPrecheck::Private::deliver()
{
    deliveryQueued = false;
    // A receiver may delete the pre-check, cancel, or check more names from its slot. Only what is
    // here now goes out in this turn, so that a receiver feeding names never starves the event loop.
    const QPointer<DnsPrecheck> alive(q);
    for (size_t count = events.size(); count > 0 && !events.empty(); --count) {
        const Event event = std::move(events.front());
        events.pop_front();
        switch (event.kind) {
        case Event::Kind::Checked:
            --answersWaiting;
            Q_EMIT q->checked(event.id, event.delegated, event.undelegated);
            break;
        case Event::Kind::ExtensionSkipped:
            Q_EMIT q->extensionSkipped(event.text);
            break;
        case Event::Kind::SwitchedOff:
            Q_EMIT q->switchedOff(event.text);
            break;
        }
        if (!alive)
            return;
    }
    if (!events.empty())
        scheduleDelivery();
}

QString DnsPrecheck::Private::serversText() const
{
    if (resolver)
        return resolver->text();
    QStringList servers;
    ares_addr_port_node* list = nullptr;
    if (channel && ares_get_servers_ports(channel, &list) == ARES_SUCCESS) {
        for (const ares_addr_port_node* node = list; node; node = node->next) {
            QHostAddress address;
            if (node->family == AF_INET)
                address.setAddress(ntohl(node->addr.addr4.s_addr));
            else
                address.setAddress(node->addr.addr6._S6_un._S6_u8);
            servers.append(ResolverAddress::text(address, node->udp_port ? node->udp_port : 53));
        }
    }
    ares_free_data(list);
    return servers.isEmpty() ? QStringLiteral("the system's resolver") : servers.join(QStringLiteral(", "));
}

} // namespace brisquel
