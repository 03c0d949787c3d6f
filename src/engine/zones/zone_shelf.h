#pragma once

#include "engine/zones/zone_index.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace brisquel {

// The imported zones of a data folder (its `zones/` folder): listed, removed, and for a search the
// fresh ones opened to settle names that are in them.
class ZoneShelf
{
public:
    static constexpr int DefaultDays = 3;

    explicit ZoneShelf(const QString& folder = QString());
    ~ZoneShelf();

    QString folder() const { return m_folder; }
    // Every index, by zone; an unreadable one is named in `problems`.
    QList<ZoneInfo> list(QStringList* problems) const;
    bool remove(const QString& zone, QString* error);

    // Opens the zones younger than `days` at `now` (0: none); one notice for each older or
    // unreadable one. Replaces what was open.
    void open(int days, const QDateTime& now, QStringList* notices);
    void close();
    bool isEmpty() const { return m_open.isEmpty(); }
    // For a name in ACE form ("example.com"): the detail of a Registered verdict when its zone is
    // open and has it ("in the com zone of 2026-12-06"), nothing otherwise.
    std::optional<QString> settle(const QString& queryDomain) const;

private:
    struct Open
    {
        std::unique_ptr<ZoneIndex> index;
        QString detail;
    };

    QString m_folder;
    QHash<QString, std::shared_ptr<Open>> m_open; // by zone
};

} // namespace brisquel
