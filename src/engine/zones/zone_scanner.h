#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace brisquel {

// What a pass over a zone file found beside its names.
struct ZoneScanReport
{
    qint64 records = 0;
    qint64 malformed = 0;      // lines the scanner could not read; each skipped
    QStringList firstProblems; // "line 12: ..." of the first few
    quint32 serial = 0;
    bool hasSerial = false;
};

// Reads a zone file in master-file format (RFC 1035 section 5) with Knot DNS's zone scanner and
// hands on each delegated name: an owner one label below the apex that has NS records. Glue, DS,
// RRSIG, NSEC and NSEC3 owners and the apex itself are no names. The label is handed on in lower
// case without the zone ("example" for example.com.), once per run of records of the same owner.
class ZoneScanner
{
public:
    using NameSink = std::function<void(QByteArrayView label)>;
    static constexpr int ProblemsKept = 5;

    // zone: "com", or "co.uk"; relative names in the file are read against it until $ORIGIN.
    explicit ZoneScanner(const QString& zone);
    ~ZoneScanner();

    // False with a message when the file cannot be read or is damaged; malformed lines are only
    // counted in the report.
    bool scan(const QString& path, const NameSink& sink, QString* error);
    // The same over text in memory.
    bool scanText(QByteArrayView text, const NameSink& sink, QString* error);
    const ZoneScanReport& report() const { return m_report; }

private:
    struct State;
    bool parseBlock(const char* data, qint64 size);

    QByteArray m_apex; // wire format, lower case
    QString m_zone;
    ZoneScanReport m_report;
    std::unique_ptr<State> m_state;
};

} // namespace brisquel
