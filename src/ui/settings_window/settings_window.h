#pragma once

#include <QWidget>

namespace brisquel {

class DefaultExtensionRow;
class DoubleClickRow;
class ExtensionSettings;
class LookupBox;
class NetworkProxiesBox;
class RegistrarsBox;
class SavedNamesRow;

// The settings window: edits registrars.txt row by row, restores the default table, switches every lookup
// to the "proxy" row, sets the default extension and the network proxies (and tests them). Each
// concern is a box of its own beside this file; the work is done by ExtensionSettings and ProxyTester.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsWindow(ExtensionSettings* settings, QWidget* parent = nullptr);

    // The status Add/Save gives the row: that of the row clicked last, or enabled for a new one.
    bool newRowEnabled() const;

public Q_SLOTS:
    void fillExtensionList();

Q_SIGNALS:
    // "Check saved names now": the saved names are to be checked at once, not at the next interval.
    void checkSavedNamesNowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void arrange();
    // Tab goes through the controls in the order they are seen: top to bottom, left to right.
    void orderTabs();
    void showFailure(const QString& message);

    RegistrarsBox* m_registrars = nullptr;
    LookupBox* m_lookups = nullptr;
    SavedNamesRow* m_savedNames = nullptr;
    DoubleClickRow* m_doubleClick = nullptr;
    DefaultExtensionRow* m_defaultExtension = nullptr;
    NetworkProxiesBox* m_proxies = nullptr;
};

} // namespace brisquel
