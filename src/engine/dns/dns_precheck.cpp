#include "dns_precheck.h"

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

constexpr int HeaderSize = 12;
constexpr int RecordFixedSize = 10; // type, class, TTL, data length
constexpr int TypeNs = 2;
constexpr int ClassIn = 1;
constexpr int RcodeNoError = 0;
constexpr int RcodeNxDomain = 3;
constexpr int FlagResponse = 0x8000;
constexpr int FlagAuthoritative = 0x0400;
constexpr int MaxNameLength = 253;
constexpr int MaxLabelLength = 63;
constexpr int ProbeLabelLength = 20;
constexpr int ReceiveBufferBytes = 1024 * 1024;

// What a reply says about the name asked.
struct Reply
{
    bool received = false;   // the resolver sent something back
    bool wellFormed = false; // every record could be read and the question is the one asked
    int rcode = -1;
    int answerRecords = 0;
    bool delegated = false;
};

int read16(const unsigned char* at)
{
    return (at[0] << 8) | at[1];
}

// Reads the (possibly compressed) name at *pos, in lower case; c-ares follows the pointers and
// refuses loops and names that run past the end.
bool readName(const unsigned char* buffer, int length, int* pos, QByteArray* name)
{
    if (*pos >= length)
        return false;
    char* text = nullptr;
    long used = 0;
    if (ares_expand_name(buffer + *pos, buffer, length, &text, &used) != ARES_SUCCESS)
        return false;
    *name = QByteArray(text).toLower();
    ares_free_string(text);
    if (used <= 0 || used > length - *pos)
        return false;
    *pos += int(used);
    return true;
}

// A name counts as delegated when the reply is NOERROR and holds an NS record owned by the name
// itself: in the answer section (what recursive resolvers send), or, when the server is not
// authoritative and the answer section is empty, in the authority section (a referral from the
// parent zone's server, for a resolver that is one). NS records of a CNAME's target, or of a
// parent zone next to an SOA, are not the name's delegation.
Reply parseReply(const unsigned char* buffer, int length, const QByteArray& name)
{
    Reply reply;
    reply.received = true;
    if (length < HeaderSize)
        return reply;
    const int flags = read16(buffer + 2);
    const int questions = read16(buffer + 4);
    const int answers = read16(buffer + 6);
    const int authorities = read16(buffer + 8);
    reply.rcode = flags & 0x0f;
    reply.answerRecords = answers;
    if (!(flags & FlagResponse) || questions != 1)
        return reply;
    int pos = HeaderSize;
    QByteArray owner;
    if (!readName(buffer, length, &pos, &owner) || owner != name || length - pos < 4)
        return reply;
    pos += 4;
    bool nsInAnswer = false;
    bool nsInAuthority = false;
    for (int i = 0; i < answers + authorities; ++i) {
        if (!readName(buffer, length, &pos, &owner) || length - pos < RecordFixedSize)
            return reply;
        const int type = read16(buffer + pos);
        const int recordClass = read16(buffer + pos + 2);
        const int dataLength = read16(buffer + pos + 8);
        pos += RecordFixedSize;
        if (dataLength > length - pos)
            return reply;
        pos += dataLength;
        if (type == TypeNs && recordClass == ClassIn && owner == name)
            (i < answers ? nsInAnswer : nsInAuthority) = true;
    }
    reply.wellFormed = true;
    reply.delegated = reply.rcode == RcodeNoError &&
                      (nsInAnswer || (answers == 0 && !(flags & FlagAuthoritative) && nsInAuthority));
    return reply;
}

// The name as it is asked: lower case without the trailing dot; empty when it is not a host name.
QByteArray hostName(const QString& aceName)
{
    QStringView text(aceName);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty() || text.size() > MaxNameLength)
        return {};
    QByteArray name = text.toLatin1().toLower();
    int label = 0;
    for (const char c : std::as_const(name)) {
        if (c == '.') {
            if (label == 0)
                return {};
            label = 0;
            continue;
        }
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!allowed || ++label > MaxLabelLength)
            return {};
    }
    return label == 0 ? QByteArray() : name;
}

// The zone the name sits in, where a wildcard would answer for it: all but its first label, so
// "co.uk" for "shop.co.uk" and "com" for "shop.com".
QString extensionOf(const QByteArray& name)
{
    return QString::fromLatin1(name.mid(name.indexOf('.') + 1));
}

// Failures that mean nothing came back from the resolver at all.
bool noResolverStatus(int status)
{
    return status == ARES_ETIMEOUT || status == ARES_ECONNREFUSED || status == ARES_ESERVFAIL ||
           status == ARES_EBADRESP || status == ARES_EOF;
}

struct ResolverAddress
{
    QHostAddress address;
    int port = 53;
};

// "HOST", "HOST:PORT" or "[V6]:PORT" with an IP address for HOST.
std::optional<ResolverAddress> parseResolverAddress(const QString& text, QString* error)
{
    QString host = text;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))) {
            host.clear();
        } else {
            host = text.mid(1, close - 1);
            port = rest.mid(1);
            if (rest == QLatin1String(":"))
                port = QStringLiteral("-");
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        // More than one colon is a bare IPv6 address.
        host = text.section(QLatin1Char(':'), 0, 0);
        port = text.section(QLatin1Char(':'), 1);
        if (port.isEmpty())
            port = QStringLiteral("-");
    }
    ResolverAddress address;
    bool portOk = true;
    if (!port.isEmpty())
        address.port = port.toInt(&portOk);
    if (!address.address.setAddress(host) || host.contains(QLatin1Char('%')) || !portOk || address.port < 1 ||
        address.port > 65535) {
        if (error) {
            *error = QStringLiteral("\"%1\" is not a DNS server: give an IP address, optionally with a port "
                                    "(127.0.0.1:53, [::1]:53).")
                         .arg(text);
        }
        return std::nullopt;
    }
    return address;
}

// How many queries the resolver gets at once, grown while it answers and halved when it leaves
// queries unanswered (TCP's congestion window, counted in queries), and how the first tries of its
// last queries went, which tells a resolver that loses most of them.
class ResolverWindow
{
public:
    static constexpr int Start = 32;
    static constexpr int Floor = 4;
    static constexpr int Remembered = 200; // queries
    static constexpr int Judged = 100;     // queries remembered before the resolver is judged

    enum class FirstTry
    {
        Answered,
        Lost,
        Other // a refused connection, a reply c-ares would not take: nothing about the load
    };

    // firstSerial: the serial of the first query of the run (see firstTry()).
    ResolverWindow(int maximum, quint64 firstSerial)
        : m_maximum(maximum)
        , m_size(std::min(Start, maximum))
        , m_nextInOrder(firstSerial)
    {}

    void setMaximum(int maximum)
    {
        m_maximum = maximum;
        m_size = std::min(m_size, maximum);
    }
    int size() const { return m_size; }

    // How the first try of a query went, once known (a second report is ignored). serial orders the
    // queries by sending, nextSerial is the next one's.
    void firstTry(quint64 serial, FirstTry outcome, quint64 nextSerial)
    {
        if (serial < m_nextInOrder || !m_known.emplace(serial, outcome).second)
            return;
        if (outcome == FirstTry::Answered)
            m_size = std::min(m_maximum, m_size + 1);
        // The queries that were out together met the same trouble: one cut for all of them.
        if (outcome == FirstTry::Lost && serial >= m_cutBefore) {
            m_size = std::max(std::min(Floor, m_maximum), m_size / 2);
            m_cutBefore = nextSerial;
        }
        // Remembered in the order the queries were sent: in the order they are learnt, every loss
        // would come after the answers to later queries, and a burst of them would look like a
        // resolver that stopped answering.
        while (!m_known.empty() && m_known.begin()->first == m_nextInOrder) {
            if (m_known.begin()->second != FirstTry::Other)
                remember(m_known.begin()->second == FirstTry::Answered);
            m_known.erase(m_known.begin());
            ++m_nextInOrder;
        }
    }
    // The queries before nextSerial were dropped: their first tries will never be known.
    void dropped(quint64 nextSerial)
    {
        m_known.clear();
        m_nextInOrder = nextSerial;
    }

    bool mostlyUnanswered() const { return queries() >= Judged && 2 * m_unanswered >= queries(); }
    int unanswered() const { return m_unanswered; }
    int queries() const { return int(m_answered.size()); }

private:
    void remember(bool answered)
    {
        m_answered.push_back(answered);
        m_unanswered += answered ? 0 : 1;
        if (m_answered.size() > Remembered) {
            m_unanswered -= m_answered.front() ? 0 : 1;
            m_answered.pop_front();
        }
    }

    int m_maximum;
    int m_size;
    quint64 m_cutBefore = 0;
    std::map<quint64, FirstTry> m_known; // by serial, until the queries before are known
    quint64 m_nextInOrder;
    std::deque<bool> m_answered;
    int m_unanswered = 0;
};

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
        Reply reply;
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
    return server.trimmed().isEmpty() || parseResolverAddress(server.trimmed(), error).has_value();
}

bool DnsPrecheck::setResolver(const QString& server, QString* error)
{
    const QString text = server.trimmed();
    if (text.isEmpty()) {
        d->resolver.reset();
        d->channelStale = true;
        return true;
    }
    const std::optional<ResolverAddress> address = parseResolverAddress(text, error);
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
    const QByteArray name = hostName(aceName);
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
    Private::Name entry{id, name, extensionOf(name)};
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
        result.reply = parseReply(abuf, alen, query->second.name.name);
    d->results.append(result);
}

void DnsPrecheck::Private::send(const Name& name, bool probe)
{
    const quint64 serial = nextSerial++;
    inFlight.emplace(serial, Query{name, probe, clock.elapsed()});
    if (!probe)
        ++namesInFlight;
    ++queriesSent;
    ares_query(channel, name.name.constData(), ClassIn, TypeNs, &Private::onQueryDone,
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
    const Reply& reply = result.reply;
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
        const bool clean = reply.wellFormed && !reply.delegated && reply.answerRecords == 0 &&
                           (reply.rcode == RcodeNxDomain || reply.rcode == RcodeNoError);
        if (!judgedOff)
            probeEnded(query.name.extension, clean);
        return;
    }
    answer(query.name.id, reply.wellFormed && reply.delegated,
           reply.wellFormed && !reply.delegated && reply.answerRecords == 0 &&
               (reply.rcode == RcodeNxDomain || reply.rcode == RcodeNoError));
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
    const auto shown = [](const QHostAddress& address, int port) {
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                                 : address.toString();
        return port == 53 ? address.toString() : host + QLatin1Char(':') + QString::number(port);
    };
    if (resolver)
        return shown(resolver->address, resolver->port);
    QStringList servers;
    ares_addr_port_node* list = nullptr;
    if (channel && ares_get_servers_ports(channel, &list) == ARES_SUCCESS) {
        for (const ares_addr_port_node* node = list; node; node = node->next) {
            QHostAddress address;
            if (node->family == AF_INET)
                address.setAddress(ntohl(node->addr.addr4.s_addr));
            else
                address.setAddress(node->addr.addr6._S6_un._S6_u8);
            servers.append(shown(address, node->udp_port ? node->udp_port : 53));
        }
    }
    ares_free_data(list);
    return servers.isEmpty() ? QStringLiteral("the system's resolver") : servers.join(QStringLiteral(", "));
}

} // namespace brisquel
