#pragma once

#include "engine/startup.h"

#include <QUrl>
#include <QWidget>

class QLabel;

namespace brisquel {

// frmAbout: the product's name, version, owner and web site; the site opens on a click.
class AboutWindow : public QWidget
{
    Q_OBJECT
public:
    AboutWindow(const QUrl& webSite, UrlOpener openUrl, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblWebsite = nullptr;
    QLabel* Picture1 = nullptr;

    // "2.1" for version 2.1.0.
    static QString majorMinor(const QString& version);

Q_SIGNALS:
    // The site could not be opened.
    void failed(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QUrl m_webSite;
    UrlOpener m_openUrl;
};

} // namespace brisquel
