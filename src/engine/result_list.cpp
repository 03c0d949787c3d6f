#include "result_list.h"

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

QString countedCaption(ResultList list, qint64 count)
{
    if (!hasCounter(list))
        return idleCaption(list);
    return idleCaption(list) + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

bool hasCounter(ResultList list)
{
    return list != ResultList::Saved;
}

} // namespace brisquel
