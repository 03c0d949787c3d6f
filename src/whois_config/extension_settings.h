#pragma once

#include "registrars_file.h"
#include "server_limits.h"

#include <QObject>
#include <QString>
#include <functional>
#include <utility>

namespace brisquel {

class ExtensionTable;
class SettingsStore;

// What the extension settings window does, without the window: every change is written to
// registrars.txt and the in-memory extension table is reloaded at once, so that the next lookup
// (also of a running search) uses it.
class ExtensionSettings : public QObject
{
    Q_OBJECT
public:
    static QString invalidFieldsMessage()
    {
        return QStringLiteral("Please enter valid information for all fields.");
    }

    // `backupsFolder` receives a copy of registrars.txt before Restore Defaults replaces it.
    ExtensionSettings(QString registrarsPath, QString backupsFolder, ExtensionTable* table,
                      SettingsStore* settings, QObject* parent = nullptr);

    QString registrarsPath() const { return m_file.path(); }
    // The rows as stored, in file order; lines that do not load are shown too, to be corrected.
    QList<RegistrarsDisplayRow> rows() const;

    // Add/Save: the fields trimmed, a leading dot dropped from the extension and the extension
    // lower-cased; the port a whole number from 1 to 65535. False with *error (the message to show)
    // when a field is empty or bad, or when the file cannot be written; then nothing is written.
    bool saveRow(const QString& extension, const QString& server, const QString& port, bool enabled,
                 QString* error);
    // Enable/Disable: "Enabled" becomes disabled, any other status enabled.
    bool toggleRow(const RegistrarsDisplayRow& row, QString* error);
    // Delete Selected: the file becomes these rows, in this order.
    bool writeRows(const QList<RegistrarsDisplayRow>& rows, QString* error);
    // Restore Defaults: a copy of the current file goes to the backups folder first.
    bool restoreDefaults(QString* error);

    bool useProxy() const;
    void setUseProxy(bool useProxy);
    // The network proxies lookups go out through: on or off, and the file that lists them.
    bool useNetworkProxies() const;
    void setUseNetworkProxies(bool use);
    QString proxiesFile() const;
    void setProxiesFile(const QString& path);
    // The proxies file as a path: a relative one (and an empty one, proxies.txt) is in the data
    // folder, where registrars.txt is.
    QString proxiesFilePath() const;
    // Where a test of the proxies connects to: the server of the "proxy" row while every lookup
    // goes there, else that of .com, else the first enabled WHOIS row's; empty without one.
    std::pair<QString, quint16> proxyTestTarget() const;
    bool preferRdap() const;
    void setPreferRdap(bool prefer);
    bool confirmFree() const;
    void setConfirmFree(bool confirm);
    bool checkDnsFirst() const;
    void setCheckDnsFirst(bool check);
    // Days a taken name is settled from the history (0: asked every time), and hours between
    // checks of the saved names (0: never); settings that are no number read as their defaults.
    int historyDays() const;
    void setHistoryDays(int days);
    int watchHours() const;
    void setWatchHours(int hours);
    // What a double-click on a name opens: its registrar's purchase page, or else its WHOIS record.
    bool purchaseOnDoubleClick() const;
    void setPurchaseOnDoubleClick(bool purchase);
    QString dnsServer() const;
    // Stored as given; the caller checks the address.
    void setDnsServer(const QString& server);
    QString defaultExtension() const;
    // Stored as typed, on every change.
    void setDefaultExtension(const QString& extension);
    // When the box is left: empty becomes ".com", a text without a dot gets one in front.
    static QString normalizedDefaultExtension(const QString& extension);

    // The limits in force (delivered, then the data folder's server-limits.txt).
    const ServerLimitsTable& serverLimits() const { return m_limits; }
    void setServerLimitsPath(const QString& path);
    // Writes "HOST TEXT" into the data folder's server-limits.txt (replacing the host's line; empty
    // text removes it) and reloads the limits. False with the message to show on a bad text.
    bool saveServerLimit(const QString& host, const QString& text, QString* error);

    // Tests move time through this (the backup's name carries it).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    // The extension table was reloaded from the file.
    void tableReloaded();
    void useProxyChanged(bool useProxy);
    void networkProxiesChanged();
    void preferRdapChanged(bool prefer);
    void confirmFreeChanged(bool confirm);
    void historyDaysChanged(int days);
    void watchHoursChanged(int hours);
    void purchaseOnDoubleClickChanged(bool purchase);
    void dnsChanged(bool checkFirst, const QString& server);
    void defaultExtensionChanged(const QString& extension);
    // Lines of registrars.txt that did not load at the last reload.
    void problemsFound(const QList<brisquel::RegistrarsProblem>& problems);
    void serverLimitsChanged(const brisquel::ServerLimitsTable& limits);

private:
    bool reload(QString* error);

    RegistrarsFile m_file;
    QString m_backupsFolder;
    ExtensionTable* m_table;
    SettingsStore* m_settings;
    std::function<QDateTime()> m_clock;
    QString m_limitsPath;
    ServerLimitsTable m_limits;
};

} // namespace brisquel
