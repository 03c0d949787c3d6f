#include "check_history.h"

#include "engine/names/lookup_name.h"

namespace brisquel {

QString historyKey(const QString& domain)
{
    const QString ascii = queryDomain(domain).toLower();
    return ascii.isEmpty() ? domain.toLower() : ascii;
}

std::optional<Verdict> verdictFromName(const QString& name)
{
    for (int i = 0; i < VerdictCount; ++i) {
        if (name == QLatin1String(verdictName(Verdict(i))))
            return Verdict(i);
    }
    return std::nullopt;
}

std::optional<QString> settledByHistory(const TakenCheck& last, int days, const QDateTime& now)
{
    if (days <= 0 || !isTaken(last.verdict))
        return std::nullopt;
    if (!last.checked.isValid() || last.checked < now.addDays(-days) || last.checked > now.addSecs(60))
        return std::nullopt;
    // A name on its way out, or past its date, may be free by now.
    if (!last.state.isEmpty())
        return std::nullopt;
    if (last.expires.isValid() && last.expires < now.toUTC().date())
        return std::nullopt;
    return QStringLiteral("taken on %1 (history)")
        .arg(last.checked.toLocalTime().date().toString(Qt::ISODate));
}

} // namespace brisquel
