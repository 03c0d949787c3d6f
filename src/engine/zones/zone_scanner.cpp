#include "zone_scanner.h"

#include "engine/zones/zone_input.h"

// The library's headers declare C functions without saying so.
extern "C" {
#include <libzscanner/scanner.h>
}

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace brisquel {

namespace {

constexpr quint16 TypeNs = 2;
constexpr quint16 TypeSoa = 6;
constexpr qint64 Block = 8 << 20;
// A record that never closes its parentheses is cut here rather than held whole.
constexpr qint64 LongestRecord = 64 << 20;

QByteArray wireName(const QString& zone)
{
    QByteArray wire;
    for (const QString& label : zone.toLower().split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        const QByteArray ascii = label.toLatin1();
        wire.append(char(ascii.size()));
        wire.append(ascii);
    }
    wire.append('\0');
    return wire;
}

bool sameName(const quint8* name, const QByteArray& lowerWire)
{
    for (qsizetype i = 0; i < lowerWire.size(); ++i) {
        quint8 c = name[i];
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (c != quint8(lowerWire[i]))
            return false;
    }
    return true;
}

// Where records may be cut between blocks: a newline outside parentheses and quotes. The state
// runs on over every byte read, so a block is scanned once.
struct Boundaries
{
    int depth = 0;
    bool quote = false;
    bool comment = false;
    bool escape = false;

    // The offset just past the last safe newline in [from, to), or -1.
    qint64 scan(const char* data, qint64 from, qint64 to)
    {
        static const std::array<bool, 256> special = [] {
            std::array<bool, 256> table{};
            for (const char c : {'\\', '"', ';', '(', ')', '\n'})
                table[uchar(c)] = true;
            return table;
        }();
        qint64 last = -1;
        for (qint64 i = from; i < to; ++i) {
            const char c = data[i];
            if (!special[uchar(c)] && !escape)
                continue; // most bytes: owner names, numbers, addresses
            if (escape) {
                escape = false;
            } else if (comment) {
                comment = c != '\n';
                if (c == '\n' && depth == 0)
                    last = i + 1;
            } else if (c == '\\') {
                escape = true;
            } else if (c == '"') {
                quote = !quote;
            } else if (quote) {
                continue;
            } else if (c == ';') {
                comment = true;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                depth = std::max(0, depth - 1);
            } else if (c == '\n' && depth == 0) {
                last = i + 1;
            }
        }
        return last;
    }
};

} // namespace

struct ZoneScanner::State
{
    zs_scanner_t scanner;
    const NameSink* sink = nullptr;
    ZoneScanner* owner = nullptr;
    char label[64] = {};
    char previous[64] = {}; // the last name handed on
    quint32 previousLength = 0;
    qint64 linesBefore = 0; // lines of the blocks before this one
    quint64 lineBase = 0;   // the scanner's line count when this block began

    static void onRecord(zs_scanner_t* s);
    static void onError(zs_scanner_t* s);
};

void ZoneScanner::State::onRecord(zs_scanner_t* s)
{
    State* state = static_cast<State*>(s->process.data);
    ZoneScanner* self = state->owner;
    ++self->m_report.records;
    const QByteArray& apex = self->m_apex;
    const quint32 first = s->r_owner[0];
    if (s->r_type == TypeSoa && s->r_owner_length == quint32(apex.size()) && sameName(s->r_owner, apex)) {
        // The serial follows the two names of the SOA's data.
        quint32 at = 0;
        for (int name = 0; name < 2 && at < s->r_data_length; ++name, ++at) {
            while (at < s->r_data_length && s->r_data[at] != 0)
                at += s->r_data[at] + 1;
        }
        if (at + 4 <= s->r_data_length) {
            const quint8* serial = s->r_data + at;
            self->m_report.serial =
                quint32(serial[0]) << 24 | quint32(serial[1]) << 16 | quint32(serial[2]) << 8 | serial[3];
            self->m_report.hasSerial = true;
        }
        return;
    }
    if (s->r_type != TypeNs || first == 0 || s->r_owner_length != 1 + first + quint32(apex.size()) ||
        !sameName(s->r_owner + 1 + first, apex))
        return;
    for (quint32 i = 0; i < first; ++i) {
        const char c = char(s->r_owner[1 + i]);
        state->label[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
    // Records of one owner come together: hand the name on once.
    if (first == state->previousLength && std::memcmp(state->label, state->previous, first) == 0)
        return;
    std::memcpy(state->previous, state->label, first);
    state->previousLength = first;
    (*state->sink)(QByteArrayView(state->label, first));
}

void ZoneScanner::State::onError(zs_scanner_t* s)
{
    State* state = static_cast<State*>(s->process.data);
    ZoneScanReport& report = state->owner->m_report;
    ++report.malformed;
    if (report.firstProblems.size() < ProblemsKept) {
        const qint64 line = state->linesBefore + qint64(s->line_counter - state->lineBase) + 1;
        report.firstProblems.append(
            QStringLiteral("line %1: %2").arg(line).arg(QString::fromLatin1(zs_strerror(s->error.code))));
    }
}

ZoneScanner::ZoneScanner(const QString& zone)
    : m_apex(wireName(zone))
    , m_zone(zone.toLower())
{}

ZoneScanner::~ZoneScanner()
{
    if (m_state)
        zs_deinit(&m_state->scanner);
}

bool ZoneScanner::parseBlock(const char* data, qint64 size)
{
    State& state = *m_state;
    state.lineBase = state.scanner.line_counter;
    if (zs_set_input_string(&state.scanner, data, size_t(size)) != 0)
        return false;
    zs_parse_all(&state.scanner); // errors went to onError; a fatal one ends only this block
    state.linesBefore += qint64(std::count(data, data + size, '\n'));
    return true;
}

bool ZoneScanner::scanText(QByteArrayView text, const NameSink& sink, QString* error)
{
    m_report = ZoneScanReport{};
    if (m_state)
        zs_deinit(&m_state->scanner);
    m_state = std::make_unique<State>();
    m_state->sink = &sink;
    m_state->owner = this;
    const QByteArray origin = (m_zone + QLatin1Char('.')).toLatin1();
    if (zs_init(&m_state->scanner, origin.constData(), 1, 3600) != 0 ||
        zs_set_processing(&m_state->scanner, &State::onRecord, &State::onError, m_state.get()) != 0) {
        *error = QStringLiteral("The zone scanner could not start for %1.").arg(m_zone);
        return false;
    }
    if (!text.isEmpty() && !parseBlock(text.data(), text.size())) {
        *error = QStringLiteral("The zone scanner could not take the text.");
        return false;
    }
    return true;
}

bool ZoneScanner::scan(const QString& path, const NameSink& sink, QString* error)
{
    ZoneInput input;
    if (!input.open(path, error) || !scanText({}, sink, error))
        return false;
    std::vector<char> buffer(Block);
    qint64 filled = 0;
    qint64 scanned = 0;
    qint64 cut = -1;
    Boundaries boundaries;
    for (;;) {
        if (filled == qint64(buffer.size()))
            buffer.resize(buffer.size() * 2);
        const qint64 got = input.read(buffer.data() + filled, qint64(buffer.size()) - filled);
        if (got < 0) {
            *error = QStringLiteral("%1 cannot be read on: %2").arg(path, input.errorString());
            return false;
        }
        filled += got;
        cut = std::max(cut, boundaries.scan(buffer.data(), scanned, filled));
        scanned = filled;
        if (got == 0 || filled >= LongestRecord)
            cut = filled; // the end, or a record that never closes
        if (got == 0 && filled == 0)
            return true;
        if (cut <= 0)
            continue;
        if (!parseBlock(buffer.data(), cut)) {
            *error = QStringLiteral("The zone scanner could not take a block of %1.").arg(path);
            return false;
        }
        std::memmove(buffer.data(), buffer.data() + cut, size_t(filled - cut));
        filled -= cut;
        scanned = filled;
        cut = -1;
        if (got == 0)
            return true;
    }
}

} // namespace brisquel
