// The shortlist's score at a large list's size: 1,000,000 made-up names scored on one core with the
// delivered word lists.
#include "engine/judging/name_score.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace brisquel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int Names = 1000000;
    QTemporaryDir empty; // no lists of its own: the delivered ones
    QElapsedTimer timer;
    timer.start();
    const NameScorer scorer = NameScorer::forDataFolder(empty.path());
    const qint64 loading = timer.elapsed();
    const char* const parts[] = {"shop", "fast", "cloud", "zq", "river", "x", "9", "-", "stone", "light"};
    QStringList names;
    names.reserve(Names);
    for (int i = 0; i < Names; ++i) {
        QString name;
        for (int n = i, k = 0; k < 3; n /= 10, ++k)
            name += QLatin1String(parts[n % 10]);
        names.append(name + QStringLiteral(".com"));
    }
    timer.restart();
    qint64 sum = 0;
    for (const QString& name : std::as_const(names))
        sum += scorer.score(name);
    const qint64 elapsed = timer.elapsed();
    QTextStream(stdout) << Names << " names scored in " << elapsed << " ms (mean score "
                        << double(sum) / Names << "; word lists loaded in " << loading << " ms)\n";
    return elapsed < 2000 ? 0 : 1;
}
