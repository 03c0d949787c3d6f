#include "about_window.h"

#include "program_picture.h"
#include "support/app_info.h"
#include "widget_helpers.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisquel {

AboutWindow::AboutWindow(const QUrl& webSite, UrlOpener openUrl, QWidget* parent)
    : QDialog(parent)
    , m_webSite(webSite)
    , m_openUrl(std::move(openUrl))
{
    const QString product = AppInfo::productTitle();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + product);
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);

    auto* picture = namedLabel(QString(), "Picture1", this);
    picture->setPixmap(programPicture(96));
    picture->setAlignment(Qt::AlignTop);
    auto* productLabel = namedLabel(product, "Label1", this);
    QFont large = productLabel->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    productLabel->setFont(large);
    // Plain text made to look like a link: the address is data and must not be read as markup.
    m_webSiteLabel = namedLabel(webSite.toString(), "lblWebsite", this);
    m_webSiteLabel->setCursor(Qt::PointingHandCursor);
    m_webSiteLabel->setToolTip(QStringLiteral("Open the web site"));
    QFont underlined = m_webSiteLabel->font();
    underlined.setUnderline(true);
    m_webSiteLabel->setFont(underlined);
    QPalette link = m_webSiteLabel->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    m_webSiteLabel->setPalette(link);
    m_webSiteLabel->installEventFilter(this);

    auto* fields = new QGridLayout;
    fields->addWidget(productLabel, 0, 0, 1, 2);
    fields->addWidget(namedLabel(QStringLiteral("Version:"), "Label2", this), 1, 0);
    fields->addWidget(namedLabel(AppInfo::version(), "lblVersion", this), 1, 1);
    fields->addWidget(namedLabel(QStringLiteral("Owned By:"), "Label3", this), 2, 0);
    fields->addWidget(namedLabel(AppInfo::companyName(), "lblCompany", this), 2, 1);
    fields->addWidget(namedLabel(QStringLiteral("Website:"), "Label4", this), 3, 0);
    fields->addWidget(m_webSiteLabel, 3, 1);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(4, 1);
    auto* buttons = named(new QDialogButtonBox(QDialogButtonBox::Close, this), "buttons");
    named(buttons->button(QDialogButtonBox::Close), "cmdClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* content = new QHBoxLayout;
    content->setSpacing(16);
    content->addWidget(picture);
    content->addLayout(fields, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(content, 1);
    layout->addWidget(buttons);
    // Wide enough that the title bar shows the whole caption.
    setMinimumWidth(std::max(360, fontMetrics().horizontalAdvance(windowTitle()) + 160));
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_webSiteLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (!m_openUrl || !m_openUrl(m_webSite))
            Q_EMIT failed(QStringLiteral("Could not open %1").arg(m_webSite.toString()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brisquel
