#pragma once

#include "settings_keys.h"

#include <QString>
#include <functional>
#include <memory>

class QSettings;

namespace brisquel {

// Named text settings in two INI files: the machine-wide store (settings.ini in the data
// folder) and the per-user area. Addressed by application, section and key like the registry
// it replaces; blanks around the application and section names do not change the address.
class SettingsStore
{
public:
    enum class PermissionAnswer
    {
        Abort,
        Retry,
        Ignore
    };
    using PermissionHandler = std::function<PermissionAnswer(const QString& message)>;

    SettingsStore(const QString& machinePath, const QString& userPath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Failures go through the permission handling and never reach the caller.
    void saveRegSetting(const QString& application, const QString& section, const QString& key,
                        const QString& value);
    // The stored text, or the default. On an error the default comes back and *error says why.
    QString getRegSetting(const QString& application, const QString& section, const QString& key,
                          const QString& defaultValue, QString* error = nullptr) const;

    QString value(const SettingKey& key, QString* error = nullptr) const;
    void setValue(const SettingKey& key, const QString& value);
    int intValue(const SettingKey& key, int fallback) const;

    // The window supplies a dialog; without one a failure is reported on standard error once.
    void setPermissionHandler(PermissionHandler handler) { m_permissionHandler = std::move(handler); }
    static QString permissionDeniedMessage();

    // What went wrong reading the stores at start, if anything (unreadable or damaged files).
    QString loadProblem() const;

    QString machinePath() const;
    QString userPath() const;

private:
    void save(QSettings& settings, const QString& application, const QString& section, const QString& key,
              const QString& value, bool userScope);
    QString read(QSettings& settings, const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue, QString* error) const;
    bool handlePermissionDenied();
    static QString checkFile(const QString& path);

    std::unique_ptr<QSettings> m_machine;
    std::unique_ptr<QSettings> m_user;
    QString m_machineProblem;
    QString m_userProblem;
    PermissionHandler m_permissionHandler;
    bool m_reportedOnStderr = false;
    bool m_abortedThisRun = false;
};

} // namespace brisquel
