#include "permission_dialog.h"

#include "message_box.h"

namespace brisquel {

SettingsStore::PermissionAnswer askPermissionDenied(QWidget* parent, const QString& message)
{
    const MessageBox::Button answer =
        MessageBox::show(parent, QMessageBox::Warning, QStringLiteral("Permission Denied"), message,
                         QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry);
    switch (answer) {
    case QMessageBox::Retry:
        return SettingsStore::PermissionAnswer::Retry;
    case QMessageBox::Ignore:
        return SettingsStore::PermissionAnswer::Ignore;
    default:
        return SettingsStore::PermissionAnswer::Abort;
    }
}

} // namespace brisquel
