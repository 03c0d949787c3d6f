#include "about_window.h"

#include "program_picture.h"
#include "support/app_info.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace brisquel {

namespace {

QLabel* label(const QString& text, const char* name, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    return result;
}

} // namespace

QString AboutWindow::majorMinor(const QString& version)
{
    return version.section(QLatin1Char('.'), 0, 1);
}

AboutWindow::AboutWindow(const QUrl& webSite, UrlOpener openUrl, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_webSite(webSite)
    , m_openUrl(std::move(openUrl))
{
    const QString product = AppInfo::productTitle();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + product);
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    Picture1 = label(QString(), "Picture1", this);
    Picture1->setPixmap(programPicture(96));
    Picture1->setAlignment(Qt::AlignTop);
    Label1 = label(product, "Label1", this);
    QFont large = Label1->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    Label1->setFont(large);
    Label2 = label(QStringLiteral("Version:"), "Label2", this);
    lblVersion = label(majorMinor(AppInfo::version()), "lblVersion", this);
    Label3 = label(QStringLiteral("Owned By:"), "Label3", this);
    lblCompany = label(AppInfo::companyName(), "lblCompany", this);
    Label4 = label(QStringLiteral("Website:"), "Label4", this);
    // Plain text made to look like a link: the address is data and must not be read as markup.
    lblWebsite = label(webSite.toString(), "lblWebsite", this);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    lblWebsite->setToolTip(QStringLiteral("Open the web site"));
    QFont underlined = lblWebsite->font();
    underlined.setUnderline(true);
    lblWebsite->setFont(underlined);
    QPalette link = lblWebsite->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    lblWebsite->setPalette(link);
    lblWebsite->installEventFilter(this);

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0, 1, 2);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(lblVersion, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(lblCompany, 2, 1);
    fields->addWidget(Label4, 3, 0);
    fields->addWidget(lblWebsite, 3, 1);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(4, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(Picture1);
    layout->addLayout(fields, 1);
    // Wide enough that the title bar shows the whole caption.
    setMinimumWidth(std::max(360, fontMetrics().horizontalAdvance(windowTitle()) + 160));
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblWebsite && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (!m_openUrl || !m_openUrl(m_webSite))
            Q_EMIT failed(QStringLiteral("Could not open %1").arg(m_webSite.toString()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brisquel
