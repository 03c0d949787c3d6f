#pragma once

#include "sources/harvest_run.h"

#include <QWidget>
#include <memory>

class QLineEdit;
class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace brisquel {

// The harvester window: pages a search engine's results for a search string, collects the domain names with
// the harvester's rules (HarvestRun), writes BrowserSearch.txt and hands it to the search.
class HarvesterWindow : public QWidget
{
    Q_OBJECT
public:
    HarvesterWindow(std::unique_ptr<HarvestRun> run, QString dataRoot, QWidget* parent = nullptr);
    ~HarvesterWindow() override;

    // Milliseconds between a page read and the next request; tests shorten it.
    void setPageDelay(int ms);
    // Opens the first result page.
    void start();

Q_SIGNALS:
    // BrowserSearch.txt holds `entries` names; search them.
    void listCreated(qint64 entries);

private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void readPage(const QVariant& body);
    void afterPage();
    void finish(const QString& reason);

    std::unique_ptr<HarvestRun> m_run;
    QString m_dataRoot;
    QLineEdit* m_status = nullptr;
    QWebEngineView* m_page = nullptr;
    QTimer* m_pageTimer = nullptr;
    bool m_finished = false;
    bool m_reading = false;
};

} // namespace brisquel
