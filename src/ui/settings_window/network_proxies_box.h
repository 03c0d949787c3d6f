#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace brisquel {

class ExtensionSettings;
class ProxyTester;

// "Network proxies": whether lookups go out through the proxies file's proxies, which file, and a
// test of each proxy (ProxyTester) against the WHOIS server of .com.
class NetworkProxiesBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit NetworkProxiesBox(ExtensionSettings* settings, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;
    // The file as typed becomes the setting once the user leaves the field.
    void proxiesFileLeft();

private:
    // The bad lines of the proxies file, under the box's results while proxies are in use.
    void showProxyFileProblems();
    void browseProxiesFile();
    void testProxies();

    ExtensionSettings* m_settings;
    QCheckBox* m_useProxiesBox = nullptr;
    QLineEdit* m_proxiesFileEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_testButton = nullptr;
    // One line per proxy tested: "socks5://host:port: works (42 ms)" or what failed.
    QPlainTextEdit* m_results = nullptr;
    QLabel* m_problems = nullptr;
    ProxyTester* m_tester = nullptr;
};

} // namespace brisquel
