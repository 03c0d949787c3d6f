#include "permission_dialog.h"

#include "message_box.h"

namespace brisquel {

SettingsStore::PermissionAnswer askPermissionDenied(QWidget* parent, const QString& message)
{
    // While the question is open its event loop runs, and a setting written meanwhile fails the
    // same way. One question is enough: the nested one gives up on its write without asking, as
    // its answer cannot wait for the open one.
    static bool asking = false;
    if (asking)
        return SettingsStore::PermissionAnswer::Abort;
    asking = true;
    const MessageBox::Button answer =
        MessageBox::show(parent, QMessageBox::Warning, QStringLiteral("Permission Denied"), message,
                         QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry);
    asking = false;
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
