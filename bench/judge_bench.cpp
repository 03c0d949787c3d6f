// Prints how long the delivered answer rules take to judge saved answers: every file of a labelled
// set (default ../shared/whois-answers, a folder with index.tsv), each judged with its server's
// rules, over and over for a few seconds; then the time per answer by label and overall.
//   build/bench/judge_bench [SET_DIR] [SECONDS]

#include "engine/judging/answer_rules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTextStream>

using namespace brisquel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString set = arguments.value(1, QStringLiteral("../shared/whois-answers"));
    const double seconds = arguments.value(2, QStringLiteral("3")).toDouble();
    QTextStream out(stdout);
    QFile index(set + QStringLiteral("/index.tsv"));
    if (!index.open(QIODevice::ReadOnly)) {
        out << "no index.tsv in " << set << "\n";
        return 2;
    }
    struct Answer
    {
        QByteArray text;
        QString host;
        QString label;
        QString name; // what the search would have asked: the masking of the name is part of the cost
    };
    QList<Answer> answers;
    index.readLine();
    while (!index.atEnd()) {
        const QStringList row = QString::fromUtf8(index.readLine()).trimmed().split(QLatin1Char('\t'));
        QFile file(set + QLatin1Char('/') + row.value(0));
        if (row.size() >= 4 && file.open(QIODevice::ReadOnly))
            answers.append({file.readAll(), row.at(3), row.at(1), QStringLiteral("example.") + row.at(2)});
    }
    const AnswerRules& rules = AnswerRules::shipped();
    QMap<QString, std::pair<qint64, qint64>> byLabel; // nanoseconds, judgements
    QElapsedTimer total;
    total.start();
    qint64 rounds = 0;
    while (total.elapsed() < seconds * 1000) {
        for (const Answer& answer : std::as_const(answers)) {
            QElapsedTimer one;
            one.start();
            rules.judge(answer.text, answer.host, qEnvironmentVariableIsSet("NONAME") ? QString() : answer.name);
            auto& [ns, count] = byLabel[answer.label];
            ns += one.nsecsElapsed();
            ++count;
        }
        ++rounds;
    }
    out << answers.size() << " answers, " << rounds << " rounds\n";
    qint64 allNs = 0;
    qint64 allCount = 0;
    for (auto it = byLabel.cbegin(); it != byLabel.cend(); ++it) {
        out << qSetFieldWidth(12) << Qt::left << it.key() << qSetFieldWidth(0)
            << QString::number(double(it->first) / double(it->second) / 1000.0, 'f', 1) << " us per answer\n";
        allNs += it->first;
        allCount += it->second;
    }
    out << qSetFieldWidth(12) << Qt::left << "all" << qSetFieldWidth(0)
        << QString::number(double(allNs) / double(allCount) / 1000.0, 'f', 1) << " us per answer\n";
    return 0;
}
