#include "main_window.h"

#include "support/app_info.h"

namespace brisquel {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(AppInfo::productTitle() + QStringLiteral(" by ") + AppInfo::companyName());
    setMinimumSize(433, 433);
}

} // namespace brisquel
