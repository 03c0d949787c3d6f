#include "splash_window.h"

#include "about_window.h"
#include "program_picture.h"
#include "support/app_info.h"

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

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(programPicture(160));
    Image1->setAlignment(Qt::AlignCenter);
    Label3 = new QLabel(QStringLiteral("%1 %2 — finds domain names that are free to register")
                            .arg(AppInfo::productTitle(), AboutWindow::majorMinor(AppInfo::version())),
                        this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    QFont font = Label3->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    Label3->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(14);
    layout->addWidget(Image1);
    layout->addWidget(Label3);
    setStyleSheet(QStringLiteral("#frmSplash { background: white; border: 1px solid #17487f; }"));
    setAttribute(Qt::WA_StyledBackground);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(TickMs);
    connect(Timer2, &QTimer::timeout, this, &SplashWindow::tick);
}

void SplashWindow::start()
{
    if (intTemp < LastCount)
        Timer2->start();
}

void SplashWindow::tick()
{
    intTemp = qint16(intTemp + 2);
    if (intTemp != LastCount)
        return;
    Timer2->stop();
    m_openMainWindow();
    close();
}

} // namespace brisquel
