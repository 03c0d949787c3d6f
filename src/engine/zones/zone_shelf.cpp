#include "zone_shelf.h"

#include "engine/zones/zone_import.h"

#include <QDir>
#include <QFile>

namespace brisquel {

namespace {

QString dayOf(const QDateTime& time)
{
    return time.toUTC().date().toString(Qt::ISODate);
}

} // namespace

ZoneShelf::ZoneShelf(const QString& folder)
    : m_folder(folder)
{}

ZoneShelf::~ZoneShelf() = default;

QList<ZoneInfo> ZoneShelf::list(QStringList* problems) const
{
    QList<ZoneInfo> zones;
    const QDir dir(m_folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.idx")}, QDir::Files, QDir::Name)) {
        ZoneInfo info;
        QString error;
        if (ZoneIndex::readInfo(dir.filePath(name), &info, &error))
            zones.append(info);
        else
            problems->append(error);
    }
    return zones;
}

bool ZoneShelf::remove(const QString& zone, QString* error)
{
    const QString path = ZoneImport::indexPath(m_folder, zone.toLower());
    if (!QFile::exists(path)) {
        *error = QStringLiteral("No zone .%1 is imported.").arg(zone.toLower());
        return false;
    }
    QFile file(path);
    if (!file.remove()) {
        *error = QStringLiteral("%1 cannot be removed: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void ZoneShelf::open(int days, const QDateTime& now, QStringList* notices)
{
    close();
    if (days <= 0 || m_folder.isEmpty())
        return;
    QStringList problems;
    for (const ZoneInfo& info : list(&problems)) {
        if (!info.zoneDate.isValid() || info.zoneDate.secsTo(now) >= qint64(days) * 86400) {
            notices->append(
                QStringLiteral("The .%1 zone of %2 is older than %3 days (ZoneDays) and is not used; "
                               "its names go to the registry.")
                    .arg(info.zone, dayOf(info.zoneDate))
                    .arg(days));
            continue;
        }
        auto open = std::make_shared<Open>();
        open->index = std::make_unique<ZoneIndex>();
        QString error;
        if (!open->index->open(ZoneImport::indexPath(m_folder, info.zone), &error)) {
            notices->append(error);
            continue;
        }
        open->detail = QStringLiteral("in the %1 zone of %2").arg(info.zone, dayOf(info.zoneDate));
        m_open.insert(info.zone, open);
    }
    notices->append(problems);
}

void ZoneShelf::close()
{
    m_open.clear();
}

std::optional<QString> ZoneShelf::settle(const QString& queryDomain) const
{
    if (m_open.isEmpty())
        return std::nullopt;
    const qsizetype dot = queryDomain.indexOf(QLatin1Char('.'));
    if (dot <= 0)
        return std::nullopt;
    const auto found = m_open.constFind(queryDomain.mid(dot + 1).toLower());
    if (found == m_open.cend())
        return std::nullopt;
    const QByteArray label = QStringView(queryDomain).left(dot).toLatin1().toLower();
    if (!(*found)->index->contains(label))
        return std::nullopt;
    return (*found)->detail;
}

} // namespace brisquel
