#include "resume_point.h"

#include "support/settings_store.h"

#include <QDateTime>
#include <QFileInfo>

namespace brisquel {

QString listFileIdentity(const QString& path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1|%2|%3")
        .arg(info.absoluteFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

ResumePoint savedResumePoint(const SettingsStore& settings, SearchType type, const QString& listFile,
                             qint64 total)
{
    const std::optional<SettingKey> key = searchTypeCounterKey(type);
    if (!key || isSearchEngine(type))
        return {};
    const qint64 position = settings.intValue(*key, 1);
    const QString identity = settings.value(SettingKeys::positionList(*key));
    bool changed = false;
    if (!identity.isEmpty())
        changed = identity != listFileIdentity(listFile);
    else if (type == SearchType::CustomList) // settings from before the identity was kept
        changed = settings.value(SettingKeys::CustListFile()) != listFile;
    if (changed && position > 1)
        return {1, QStringLiteral("List changed since the last search; starting at entry 1.")};
    if (position < 1 || position > total)
        return {};
    return {position, QString()};
}

} // namespace brisquel
