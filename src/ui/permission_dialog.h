#pragma once

#include "support/settings_store.h"

class QWidget;

namespace brisquel {

// The "Permission Denied" question asked when a setting cannot be saved.
SettingsStore::PermissionAnswer askPermissionDenied(QWidget* parent, const QString& message);

} // namespace brisquel
