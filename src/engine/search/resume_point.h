#pragma once

#include "sources/search_type.h"

#include <QString>

namespace brisquel {

class SettingsStore;

// What a list file was when a position in it was saved: its path, size, time of change and a
// fingerprint of its content.
QString listFileIdentity(const QString& path);

struct ResumePoint
{
    qint64 start = 1;
    QString note; // said to the user when the saved position was dropped
};

// Where a search of this type over this list goes on: the saved position when it belongs to this
// very list (same path, size, time of change and content) and lies within its `total` entries, else 1.
ResumePoint savedResumePoint(const SettingsStore& settings, SearchType type, const QString& listFile,
                             qint64 total);

} // namespace brisquel
