// Prints how long filing and judging take at the sizes a long search reaches: the result lists
// alone, the lists with their live files, and large WHOIS answers. The tests check the outcome of
// the same work; the times are measured here, where a busy machine fails nothing.

#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/judging/verdict.h"
#include "support/data_folder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace brisquel;

int main()
{
    QTextStream out(stdout);
    QElapsedTimer timer;

    ResultLists lists;
    timer.start();
    for (int i = 0; i < 60000; ++i) {
        lists.addAvailableName(QStringLiteral("n%1.com").arg(i));
        lists.addRegisteredName(QStringLiteral("t%1.com").arg(i));
    }
    out << "120000 names into the result lists: " << timer.elapsed() << " ms\n";

    QTemporaryDir dir;
    const DataFolder folder(dir.path());
    ResultLists filed;
    LiveListFiles files(folder, &filed);
    timer.restart();
    const int count = LiveListFiles::OverflowLimit - 1;
    for (int i = 0; i < count; ++i) {
        filed.addAvailableName(QStringLiteral("m%1.com").arg(i, 6, 10, QLatin1Char('0')));
        files.overflowCheck();
    }
    out << count << " names into Mid Profile and its live file: " << timer.elapsed() << " ms\n";

    QByteArray answer;
    while (answer.size() < 1024 * 1024)
        answer += "Remarks: Example Holdings, Ltd. keeps this record for its customers\r\n";
    const QByteArray available = answer + "NO MATCH for \"A.COM\"\r\n";
    timer.restart();
    for (int i = 0; i < 10; ++i) {
        judgeAnswer(answer);
        judgeAnswer(available);
    }
    out << "20 answers of 1 MiB judged: " << timer.elapsed() << " ms\n";
    return 0;
}
