#include "harvester_window.h"

#include "message_box.h"
#include "support/app_info.h"
#include "widget_helpers.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace brisquel {

HarvesterWindow::HarvesterWindow(std::unique_ptr<HarvestRun> run, QString dataRoot, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_run(std::move(run))
    , m_dataRoot(std::move(dataRoot))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("List Builder - Finding domain names..."));
    setAttribute(Qt::WA_DeleteOnClose);

    m_status = named(new QLineEdit(QStringLiteral("Status..."), this), "Text1");
    m_status->setReadOnly(true);
    m_status->setFont(QFont(QStringLiteral("Verdana")));
    m_status->setToolTip(
        QStringLiteral("This shows the number of unique .com, .org and .net domain names found."));
    m_page = named(new QWebEngineView(this), "WebBrowser1");
    m_page->setToolTip(QStringLiteral("Searching for unique .com, .net and .org domain names."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_page, 1);
    resize(800, 600);
    setMinimumSize(320, 240);

    // The pause between pages is a timer: the window stays responsive, and closing it ends the run.
    m_pageTimer = new QTimer(this);
    m_pageTimer->setSingleShot(true);
    m_pageTimer->setInterval(500);
    connect(m_pageTimer, &QTimer::timeout, this, &HarvesterWindow::afterPage);
    connect(m_page->page(), &QWebEnginePage::loadingChanged, this, &HarvesterWindow::onLoadingChanged);
}

HarvesterWindow::~HarvesterWindow() = default;

void HarvesterWindow::setPageDelay(int ms)
{
    m_pageTimer->setInterval(ms);
}

void HarvesterWindow::start()
{
    m_page->load(m_run->pageUrl());
}

void HarvesterWindow::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (m_finished || m_reading)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        const QString why = info.errorString().isEmpty() ? QStringLiteral("error %1").arg(info.errorCode())
                                                         : info.errorString();
        finish(QStringLiteral("The page %1 could not be loaded (%2).").arg(info.url().toString(), why));
        return;
    }
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus)
        return;
    // One reading and one paging step per page: frames do not count as pages of their own.
    m_reading = true;
    QPointer<HarvesterWindow> self(this);
    m_page->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerHTML : null"),
                                  [self](const QVariant& body) {
                                      if (self)
                                          self->readPage(body);
                                  });
}

void HarvesterWindow::readPage(const QVariant& body)
{
    if (m_finished)
        return;
    if (!body.isValid() || body.isNull()) {
        m_reading = false;
        finish(QStringLiteral("The page %1 has no body.").arg(m_page->url().toString()));
        return;
    }
    m_run->addPage(body.toString());
    m_status->setText(QStringLiteral("Extracted %1 unique domain names").arg(m_run->foundCount()));
    m_pageTimer->start();
}

void HarvesterWindow::afterPage()
{
    m_reading = false;
    if (m_finished)
        return;
    if (!m_run->wantsNextPage()) {
        finish(QString());
        return;
    }
    m_run->nextPage();
    m_page->load(m_run->pageUrl());
}

void HarvesterWindow::finish(const QString& reason)
{
    m_finished = true;
    m_pageTimer->stop();
    HarvestRun::Saved saved;
    QString error;
    if (!m_run->finish(m_dataRoot, &saved, &error)) {
        m_status->setText(error);
        MessageBox::warning(this, AppInfo::productTitle(), error);
        close();
        return;
    }
    m_status->setText(QStringLiteral("Finished! Extracted %1 domain names.").arg(m_run->foundCount()));
    if (!saved.archiveError.isEmpty())
        m_status->setText(m_status->text() + QLatin1Char(' ') + saved.archiveError);
    m_page->stop();
    hide();
    QString message =
        QStringLiteral("List of %1 unique domains was created successfully!").arg(m_run->foundCount());
    if (!reason.isEmpty())
        message += QStringLiteral("\n\nThe search engine stopped early: ") + reason;
    if (!saved.archiveError.isEmpty())
        message += QStringLiteral("\n\n") + saved.archiveError;
    MessageBox::information(parentWidget(), AppInfo::productTitle(), message);
    Q_EMIT listCreated(saved.entries);
    close();
}

} // namespace brisquel
