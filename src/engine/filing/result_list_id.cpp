#include "result_list_id.h"

namespace brisquel {

QString idleCaption(ResultList list)
{
    switch (list) {
    case ResultList::Low:
        return QStringLiteral("Low Profile");
    case ResultList::Registered:
        return QStringLiteral("Registered");
    case ResultList::High:
        return QStringLiteral("High Profile");
    case ResultList::Mid:
        return QStringLiteral("Mid Profile");
    case ResultList::Saved:
        return QStringLiteral("Saved Domains");
    }
    return QString();
}

QString countedCaption(ResultList list, qint64 listed, qint64 found)
{
    if (!hasCounter(list))
        return idleCaption(list);
    if (found <= 0)
        return QStringLiteral("%1 (%2)").arg(idleCaption(list)).arg(listed);
    if (list == ResultList::Registered && found > listed)
        return QStringLiteral("%1 (%2 shown, %3 new)").arg(idleCaption(list)).arg(listed).arg(found);
    return QStringLiteral("%1 (%2, %3 new)").arg(idleCaption(list)).arg(listed).arg(found);
}

bool hasCounter(ResultList list)
{
    return list != ResultList::Saved;
}

} // namespace brisquel
