// How well the life cycle reader takes deletion states and expiry dates from registries' answers.
//   build/bench/life_cycle_bench [--list] [SET_DIR]
// (1) The hand-written rows of tests/engine/life_cycle_rows.h, by kind: read right, wrong date, no
//     date where one was due, wrong state. (2) The registered answers of a labelled set (default
//     ../shared/whois-answers, a folder with index.tsv), each read as from its server: how many
//     gave an expiry date and a deletion state; skipped when the folder is absent. --list prints
//     every answer's reading with the lines that name a date, for checking by eye.

#include "engine/judging/life_cycle.h"
#include "engine/life_cycle_rows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>

using namespace brisquel;

namespace {

struct Tally
{
    int rows = 0;
    int right = 0;
    int wrongDate = 0;
    int noDate = 0; // a date was due and none was read
    int wrongState = 0;
};

bool readRows(QTextStream& out)
{
    QMap<QString, Tally> byKind;
    Tally all;
    for (const rows::LifeCycleRow& row : rows::lifeCycleRows()) {
        const LifeCycle cycle = readWhoisLifeCycle(row.answer, rows::Today, QString::fromLatin1(row.host));
        Tally& kind = byKind[QString::fromLatin1(row.kind)];
        for (Tally* tally : {&kind, &all}) {
            ++tally->rows;
            const bool dateRight = cycle.expires == row.expires;
            const bool stateRight = cycle.state == row.state;
            tally->right += dateRight && stateRight;
            tally->wrongDate += !dateRight && cycle.expires.isValid();
            tally->noDate += !dateRight && !cycle.expires.isValid();
            tally->wrongState += !stateRight;
        }
        if (cycle.expires != row.expires || cycle.state != row.state)
            out << "  missed: " << row.kind << ", " << row.name << ": read \"" << cycle.state << "\" "
                << cycle.expires.toString(Qt::ISODate) << ", due \"" << row.state << "\" "
                << row.expires.toString(Qt::ISODate) << "\n";
    }
    const auto print = [&out](const QString& name, const Tally& tally) {
        out << qSetFieldWidth(16) << Qt::left << name << qSetFieldWidth(0) << tally.right << " of "
            << tally.rows << " read right, " << tally.wrongDate << " wrong dates, " << tally.noDate
            << " dates missed, " << tally.wrongState << " wrong states\n";
    };
    out << "hand-written rows\n";
    for (auto it = byKind.cbegin(); it != byKind.cend(); ++it)
        print(it.key(), it.value());
    print(QStringLiteral("all"), all);
    const bool good = all.right == all.rows;
    if (good)
        out << "all read; no wrong date\n";
    return good;
}

void readSet(const QString& set, bool list, QTextStream& out)
{
    QFile index(set + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly)) {
        out << "no index.tsv in " << set << ": real answers skipped\n";
        return;
    }
    static const QRegularExpression dateLine(
        QStringLiteral("expir|renew|paid|valid|until|till|vencim|exp date|state|status|\\d{4}"),
        QRegularExpression::CaseInsensitiveOption);
    QList<std::pair<QByteArray, QString>> read;
    int answers = 0;
    int dated = 0;
    int dropping = 0;
    index.readLine();
    while (!index.atEnd()) {
        const QStringList row = QString::fromUtf8(index.readLine()).trimmed().split(QLatin1Char('\t'));
        if (row.size() < 4 || row.at(1) != QLatin1String("registered"))
            continue;
        QFile file(set + QLatin1Char('/') + row.at(0));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray answer = file.readAll();
        const LifeCycle cycle = readWhoisLifeCycle(answer, rows::Today, row.at(3));
        read.append({answer, row.at(3)});
        ++answers;
        dated += cycle.expires.isValid();
        dropping += cycle.state != QLatin1String("expired") && cycle.isDropping();
        if (!list)
            continue;
        out << row.at(0) << "\t" << row.at(3) << "\t" << cycle.state << "\t"
            << cycle.expires.toString(Qt::ISODate) << "\n";
        for (const QString& line : QString::fromUtf8(answer).split(QLatin1Char('\n'))) {
            if (dateLine.match(line).hasMatch() && line.size() < 120)
                out << "    | " << line.trimmed() << "\n";
        }
    }
    out << "registered answers in " << set << ": " << answers << ", expiry read " << dated << ", not read "
        << answers - dated << ", in a deletion state " << dropping << "\n";
    // What reading costs a search: every taken answer is read once.
    QElapsedTimer clock;
    clock.start();
    qint64 reads = 0;
    while (clock.elapsed() < 1000) {
        for (const auto& [answer, host] : std::as_const(read)) {
            readWhoisLifeCycle(answer, rows::Today, host);
            ++reads;
        }
    }
    if (reads > 0)
        out << QString::number(double(clock.nsecsElapsed()) / double(reads) / 1000.0, 'f', 1)
            << " us per answer read\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool list = arguments.removeAll(QStringLiteral("--list")) > 0;
    const QString set = arguments.value(0, QStringLiteral("../shared/whois-answers"));
    QTextStream out(stdout);
    const bool good = readRows(out);
    readSet(set, list, out);
    return good ? 0 : 1;
}
