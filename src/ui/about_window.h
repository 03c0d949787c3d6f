#pragma once

#include "engine/search/startup.h"

#include <QDialog>
#include <QUrl>

class QLabel;

namespace brisquel {

// The about box: the product's name, version, owner and web site; the site opens on a click. A
// dialog, so that it opens centred on the main window and Escape closes it.
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    AboutWindow(const QUrl& webSite, UrlOpener openUrl, QWidget* parent = nullptr);

Q_SIGNALS:
    // The site could not be opened.
    void failed(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QUrl m_webSite;
    UrlOpener m_openUrl;
    QLabel* m_webSiteLabel = nullptr;
};

} // namespace brisquel
