#pragma once

#include "sources/search_type.h"
#include "window_fixture.h"

#include <QAction>
#include <QString>

namespace brisquel::test {

// One of a numbered set of controls ("List%1", "mnuEditItem_%1", "Panel%1"), by its object name.
template <typename Widget>
Widget* numberedChild(const QObject* window, const char* pattern, int number)
{
    return child<Widget>(window, qPrintable(QString::fromLatin1(pattern).arg(number)));
}

// The Tools menu's item for a search type, as the user picks it there.
inline QAction* toolsMenuItem(const QObject* window, SearchType type)
{
    return numberedChild<QAction>(window, "mnuToolsItem_%1", int(allSearchTypes().indexOf(type)));
}

} // namespace brisquel::test
