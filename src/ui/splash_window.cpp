#include "splash_window.h"

#include "about_window.h"
#include "program_picture.h"
#include "support/app_info.h"
#include "widget_helpers.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace brisquel {

SplashWindow::SplashWindow(OpenMainWindow openMainWindow, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_openMainWindow(std::move(openMainWindow))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(AppInfo::productTitle());
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    auto* picture = namedLabel(QString(), "Image1", this);
    picture->setPixmap(programPicture(160));
    picture->setAlignment(Qt::AlignCenter);
    auto* caption = namedLabel(QStringLiteral("%1 %2 — finds domain names that are free to register")
                                   .arg(AppInfo::productTitle(), AppInfo::version()),
                               "Label3", this);
    caption->setAlignment(Qt::AlignCenter);
    QFont font = caption->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    caption->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(14);
    layout->addWidget(picture);
    layout->addWidget(caption);
    setStyleSheet(QStringLiteral("#frmSplash { background: white; border: 1px solid #17487f; }"));
    setAttribute(Qt::WA_StyledBackground);

    m_tickTimer = named(new QTimer(this), "Timer2");
    m_tickTimer->setInterval(TickMs);
    connect(m_tickTimer, &QTimer::timeout, this, &SplashWindow::tick);
}

void SplashWindow::start()
{
    if (m_count < LastCount)
        m_tickTimer->start();
}

void SplashWindow::tick()
{
    m_count = qint16(m_count + 2);
    if (m_count != LastCount)
        return;
    m_tickTimer->stop();
    m_openMainWindow();
    close();
}

} // namespace brisquel
