#include "resume_point.h"

#include "support/settings_store.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace brisquel {

namespace {

constexpr qint64 FingerprintPart = 64 * 1024;

// The first and last 64 KiB: an edit of a list keeps its size and time less often than one thinks
// (a copy back from a backup, a tool that keeps times), and reading all of a large list is slow.
QString contentFingerprint(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(file.read(FingerprintPart));
    if (file.size() > FingerprintPart) {
        file.seek(std::max(FingerprintPart, file.size() - FingerprintPart));
        hash.addData(file.read(FingerprintPart));
    }
    return QString::fromLatin1(hash.result().toHex());
}

// Identities saved before the fingerprint was added have three fields; they are compared on those.
bool sameIdentity(const QString& saved, const QString& current)
{
    const qsizetype savedFields = saved.count(QLatin1Char('|')) + 1;
    if (savedFields >= 4)
        return saved == current;
    return saved == current.section(QLatin1Char('|'), 0, savedFields - 1);
}

} // namespace

QString listFileIdentity(const QString& path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1|%2|%3|%4")
        .arg(info.absoluteFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch())
        .arg(contentFingerprint(path));
}

ResumePoint savedResumePoint(const SettingsStore& settings, SearchType type, const QString& listFile,
                             qint64 total)
{
    const std::optional<SettingKey> key = searchTypeCounterKey(type);
    if (!key || isSearchEngine(type))
        return {};
    const qint64 position = settings.intValue(*key, 1);
    const QString identity = settings.value(SettingKeys::positionListFile(*key));
    // Another custom list simply starts at its beginning; only the same file can have changed.
    const QString savedPath = identity.section(QLatin1Char('|'), 0, 0);
    if (type == SearchType::CustomList && !identity.isEmpty() &&
        savedPath != QFileInfo(listFile).absoluteFilePath())
        return {};
    bool changed = false;
    if (!identity.isEmpty())
        changed = !sameIdentity(identity, listFileIdentity(listFile));
    else if (type == SearchType::CustomList) // settings from before the identity was kept
        changed = settings.value(SettingKeys::customPositionListFile()) != listFile;
    if (changed && position > 1)
        return {1, QStringLiteral("List changed since the last search; starting at entry 1.")};
    if (position < 1 || position > total)
        return {};
    return {position, QString()};
}

} // namespace brisquel
