// Prints how long the name generator takes to make 100,000 and 1,000,000 names and to write them
// to a CreatedDomains file, the work of one "Start Generator" run.

#include "sources/name_generator.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace brisquel;

int main()
{
    QTextStream out(stdout);
    QTemporaryDir dir;
    for (const int wanted : {100000, 1000000}) {
        GeneratorOptions options;
        options.baseWord = QStringLiteral("shop");
        // 4 forms x 9 extensions = 36 names a word.
        options.extensions =
            QStringList{QStringLiteral(".com"),  QStringLiteral(".net"),  QStringLiteral(".org"),
                        QStringLiteral(".biz"),  QStringLiteral(".info"), QStringLiteral(".name"),
                        QStringLiteral(".aero"), QStringLiteral(".coop"), QStringLiteral(".co.uk")};
        for (int i = 0; i * 36 < wanted; ++i)
            options.words << QStringLiteral("word%1").arg(i);
        QElapsedTimer timer;
        timer.start();
        const QStringList names = generateNames(options);
        const qint64 generateMs = timer.elapsed();
        timer.restart();
        writeCreatedDomains(dir.filePath(QStringLiteral("CreatedDomains.txt")), names);
        const qint64 writeMs = timer.elapsed();
        out << names.size() << " names: generated in " << generateMs << " ms, written in " << writeMs
            << " ms\n";
    }
    return 0;
}
