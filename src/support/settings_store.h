#pragma once

#include "settings_keys.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

class QSettings;
class QTemporaryDir;

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

    // Larger than any real settings file: such a file is neither read nor written over.
    static constexpr qint64 MaxFileBytes = 2 * 1024 * 1024;

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
    // False when the value could not be written (the handler was asked, or stderr told, first).
    bool setValue(const SettingKey& key, const QString& value);
    // Several values in one write of each file, so that they never disagree on disk.
    bool setValues(const QList<std::pair<SettingKey, QString>>& values);
    int intValue(const SettingKey& key, int fallback) const;
    // A whole number of 0 or more; text that is none counts as the key's default.
    int count(const SettingKey& key) const;
    // A check box's setting, stored as "1" or "0"; text that is no number counts as the key's default.
    bool flag(const SettingKey& key) const;
    bool setFlag(const SettingKey& key, bool on);

    // The window supplies a dialog; without one a failure is reported on standard error once.
    // While the handler is asking, further failures do not ask again: the values stay in memory
    // and the open question's Retry writes them too.
    void setPermissionHandler(PermissionHandler handler) { m_permissionHandler = std::move(handler); }
    static QString permissionDeniedMessage();
    // The message for a failed write of `path`, naming its cause.
    static QString writeFailedMessage(const QString& path, const QString& cause);
    // Why a file cannot be written where `path` is: "Permission denied", "No space left on device"...
    static QString writeFailureCause(const QString& path);

    // What went wrong reading the stores at start, if anything (unreadable or damaged files).
    QString loadProblem() const;

    QString machinePath() const;
    QString userPath() const;

private:
    bool save(QSettings& settings, const QString& application, const QString& section, const QString& key,
              const QString& value, bool userScope);
    bool sync(QSettings& settings, bool userScope);
    QString read(QSettings& settings, const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue, QString* error) const;
    bool handlePermissionDenied(const QString& cause);
    static QString checkFile(const QString& path);
    std::unique_ptr<QSettings> openStore(const QString& path, const QString& scratchName, QString* problem);

    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_machinePath;
    QString m_userPath;
    std::unique_ptr<QSettings> m_machine;
    std::unique_ptr<QSettings> m_user;
    QString m_machineProblem;
    QString m_userProblem;
    PermissionHandler m_permissionHandler;
    bool m_reportedOnStderr = false;
    bool m_abortedThisRun = false;
    bool m_asking = false;
};

} // namespace brisquel
