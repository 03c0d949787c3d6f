// The drop calendar at a large watch list's size: 100,000 lines of Dropping.txt (half from before
// the estimate was kept, so estimated as they are read), read, sorted and cut to a week.
#include "engine/filing/drop_calendar.h"

#include <QElapsedTimer>
#include <QTextStream>

using namespace brisquel;

int main()
{
    constexpr int Names = 100000;
    const QDate today(2025, 3, 10);
    const char* const extensions[] = {"com", "net", "org", "eu", "nl", "de", "uk", "zz"};
    const char* const states[] = {"pendingDelete", "redemptionPeriod", "expired"};
    QByteArray text;
    for (int i = 0; i < Names; ++i) {
        const QDate expires = today.addDays(-(i % 90));
        text += "name" + QByteArray::number(i) + '.' + extensions[i % 8] + '\t' + states[i % 3] + '\t' +
                expires.toString(Qt::ISODate).toLatin1();
        if (i % 2)
            text += '\t' + today.addDays(i % 40).toString(Qt::ISODate).toLatin1();
        text += "\r\n";
    }
    QElapsedTimer timer;
    timer.start();
    DropCalendar calendar = DropCalendar::read(text, DropRules::shipped(), today);
    calendar.sort();
    const DropCalendar week = calendar.within(today, 7);
    const qint64 elapsed = timer.elapsed();
    QTextStream(stdout) << "calendar of " << calendar.entries().size()
                        << " dropping names read, estimated and "
                        << "sorted in " << elapsed << " ms (" << week.entries().size() << " within a week)\n";
    return elapsed < 1000 ? 0 : 1;
}
