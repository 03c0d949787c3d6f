#pragma once

#include <QDate>

namespace brisquel {

// Today's date by this computer's clock and time zone, looked up again once a second at most:
// each lookup of the local date has the C library look at the time zone file, a system call that
// a search would otherwise make for every taken name it reads.
QDate localToday();

} // namespace brisquel
