#include "status_bar.h"

#include "engine/search/search_driver.h"
#include "engine/search/search_status.h"
#include "ui/elided_label.h"
#include "ui/widget_helpers.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace brisquel {

namespace {

const char* const IdlePanelTexts[] = {"Entry Status", "Open Connections", "Connection Status"};

QString idleText(int index)
{
    return QString::fromLatin1(IdlePanelTexts[index]);
}

// Long texts must not widen the window: the widget shares what room there is.
void shareWidth(QWidget* widget)
{
    widget->setSizePolicy(QSizePolicy::Ignored, widget->sizePolicy().verticalPolicy());
}

} // namespace

SearchStatusBar::SearchStatusBar(SearchDriver* driver, QWidget* parent)
    : QStatusBar(parent)
    , m_driver(driver)
{
    setObjectName(QStringLiteral("StatusBar1"));
    // Panels 1 and 2 take a quarter of the width each, panel 3 the half.
    const int stretch[] = {1, 1, 2};
    for (int i = 0; i < 3; ++i) {
        auto* panel = named(new ElidedLabel(idleText(i), this), QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        shareWidth(panel);
        addWidget(panel, stretch[i]);
        m_panels[i] = panel;
    }
    // One short panel per fact, shown while it has something to say, so that none is cut off.
    const char* const factNames[] = {"dnsPanel", "historyPanel", "droppingPanel", "proxiesPanel"};
    for (int i = 0; i < int(m_factPanels.size()); ++i) {
        auto* fact = named(new QLabel(this), factNames[i]);
        fact->setFrameShape(QFrame::StyledPanel);
        fact->setFrameShadow(QFrame::Sunken);
        fact->setToolTip(factTip(StatusFact(i)));
        fact->hide();
        addWidget(fact);
        m_factPanels[std::size_t(i)] = fact;
    }
    fitPanels(false);
    // The whole notice is in its tooltip and in the message log.
    m_noticeLabel = named(new ElidedLabel(QString(), this), "noticeLabel");
    shareWidth(m_noticeLabel);
    m_noticeLabel->setMinimumWidth(m_noticeLabel->widthFor(QStringLiteral("Could…")));
    m_noticeLabel->hide();
    addPermanentWidget(m_noticeLabel, 2);
    // Verdicts of one server for every name look odd unless the user knows why.
    m_proxyLabel = named(new ElidedLabel(QString(), this), "proxyLabel");
    m_proxyLabel->setMinimumWidth(m_proxyLabel->widthFor(QStringLiteral("All…")));
    m_proxyLabel->hide();
    addPermanentWidget(m_proxyLabel, 1);
    m_unansweredLabel = named(new QLabel(this), "unansweredLabel");
    m_unansweredLabel->hide();
    addPermanentWidget(m_unansweredLabel);
    m_progressBar = named(new QProgressBar(this), "searchProgress");
    m_progressBar->setFormat(QStringLiteral("%v of %m"));
    // Room for the longest count on one line.
    const QFontMetrics metrics = m_progressBar->fontMetrics();
    m_progressBar->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("999999 of 999999")) +
                                   4 * metrics.averageCharWidth());
    m_progressBar->setMaximumWidth(m_progressBar->minimumWidth() * 3 / 2);
    m_progressBar->hide();
    addPermanentWidget(m_progressBar);
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(50);
    connect(m_refresh, &QTimer::timeout, this, &SearchStatusBar::refresh);
}

void SearchStatusBar::showSearching(bool searching)
{
    m_searching = searching;
    fitPanels(searching);
    m_progressBar->setVisible(searching);
}

void SearchStatusBar::startProgress()
{
    m_progressBar->setRange(0, 0);
}

void SearchStatusBar::fitPanels(bool searching)
{
    // Idle, every panel shows its caption, greyed like a field's hint, and takes no more room
    // than that: the rest is the notice's, so that the end of a search reads whole. A search adds
    // the progress bar, which shows the count of panel 1 too, and the unanswered count: then
    // panel 2 keeps room for its count and panels 1 and 3 (connection chatter) give way first,
    // so that a narrow window still shows the bar whole.
    for (int i = 0; i < int(m_panels.size()); ++i) {
        ElidedLabel* panel = m_panels[i];
        const QString caption = idleText(i);
        QString room = caption;
        if (searching)
            room = i == 1 ? QStringLiteral("Open: 25") : QStringLiteral("9…");
        panel->setMinimumWidth(panel->widthFor(room));
        panel->setMaximumWidth(searching ? QWIDGETSIZE_MAX : panel->widthFor(caption));
        panel->setForegroundRole(searching ? QPalette::WindowText : QPalette::PlaceholderText);
    }
    if (!searching) {
        for (QLabel* fact : m_factPanels)
            fact->hide();
    }
}

void SearchStatusBar::setStatusText(int panel, const QString& status)
{
    if (panel < 1 || panel > int(m_pendingStatus.size()))
        return;
    m_pendingStatus[panel - 1] = status;
    if (!m_searching) {
        refresh();
        return;
    }
    if (!m_refresh->isActive())
        m_refresh->start();
}

void SearchStatusBar::showIdleCaptions()
{
    for (int panel = 1; panel <= 3; ++panel)
        setStatusText(panel, idleText(panel - 1));
}

void SearchStatusBar::showProgress()
{
    m_progressDue = true;
    if (!m_refresh->isActive())
        m_refresh->start();
}

void SearchStatusBar::refresh()
{
    m_refresh->stop();
    for (int number = 1; number <= int(m_pendingStatus.size()); ++number) {
        QString& text = m_pendingStatus[number - 1];
        if (QLabel* label = panel(number); label && !text.isNull()) {
            label->setText(text);
            if (number != 2)
                label->setToolTip(m_searching ? text : QString());
        }
        text = QString();
    }
    // Once a search has ended, the panels keep their captions.
    if (!std::exchange(m_progressDue, false) || !m_searching)
        return;
    const SearchProgress progress = m_driver->progress();
    panel(1)->setText(entryPanelText(progress));
    panel(2)->setText(openPanelText(progress));
    panel(2)->setToolTip(openPanelTip(progress));
    for (int i = 0; i < int(m_factPanels.size()); ++i) {
        const QString fact = factText(StatusFact(i), progress);
        m_factPanels[std::size_t(i)]->setText(fact);
        m_factPanels[std::size_t(i)]->setVisible(!fact.isEmpty());
    }
    const qint64 total = progress.total;
    if (total <= 0 || total > std::numeric_limits<int>::max()) {
        m_progressBar->setRange(0, 0);
        return;
    }
    m_progressBar->setRange(0, int(total));
    m_progressBar->setValue(int(std::clamp<qint64>(progress.settled, 0, total)));
}

void SearchStatusBar::showUnanswered(qint64 count)
{
    m_unansweredLabel->setText(QStringLiteral("Unanswered: %1").arg(count));
    m_unansweredLabel->setToolTip(QStringLiteral("Names whose WHOIS server gave no answer, kept in %1")
                                      .arg(m_driver->unansweredFilePath()));
    m_unansweredLabel->setVisible(count > 0);
}

void SearchStatusBar::showProxyTarget(const QString& hostAndPort)
{
    if (hostAndPort.isEmpty()) {
        m_proxyLabel->hide();
        return;
    }
    const QString text = QStringLiteral("All lookups go to %1").arg(hostAndPort);
    m_proxyLabel->setText(text);
    m_proxyLabel->setToolTip(text + QStringLiteral(" (the \"proxy\" row; Options > Setup turns this off)"));
    m_proxyLabel->show();
}

void SearchStatusBar::showNotice(const QString& line, const QString& whole)
{
    m_noticeLabel->setText(line);
    m_noticeLabel->setToolTip(whole);
    m_noticeLabel->show();
}

void SearchStatusBar::clearNotice()
{
    m_noticeLabel->clear();
    m_noticeLabel->setToolTip(QString());
    m_noticeLabel->hide();
}

QString SearchStatusBar::noticeText() const
{
    return m_noticeLabel->text();
}

QLabel* SearchStatusBar::panel(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_panels[panel - 1] : nullptr;
}

} // namespace brisquel
