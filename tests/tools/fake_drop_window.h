#pragma once

#include <QDateTime>
#include <QString>

namespace brisquel::test {

// The release estimated for the fake servers' dropping .com name: in its redemption period since
// an update older than the stage, so from pendingDelete's 5 days to redemption's 30 and
// pendingDelete's 5, counted from `today` (the program's clock: a test that sets it passes its day).
inline QString fakeDropWindow(const QDate& today = QDateTime::currentDateTimeUtc().date())
{
    return today.addDays(5).toString(Qt::ISODate) + QLatin1Char('/') + today.addDays(35).toString(Qt::ISODate);
}

} // namespace brisquel::test
