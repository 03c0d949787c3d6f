#include "settings_store.h"

#include "app_info.h"
#include "file_helpers.h"
#include "line_reader.h"
#include "text_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace brisquel {

namespace {

QString settingsPath(const QString& application, const QString& section, const QString& key)
{
    return application.trimmed() + QLatin1Char('/') + section.trimmed() + QLatin1Char('/') + key;
}

bool validateAddress(const QString& application, const QString& section, const QString& key, QString* error)
{
    const char* problem = nullptr;
    if (application.trimmed().isEmpty())
        problem = "AppName may not be empty";
    else if (section.trimmed().isEmpty())
        problem = "Section may not be empty";
    else if (key.trimmed().isEmpty())
        problem = "Key may not be empty";
    if (problem && error)
        *error = QString::fromLatin1(problem);
    return problem == nullptr;
}

// Puts the value into the store's memory; an address that cannot be saved is told on stderr.
bool stage(QSettings& settings, const QString& application, const QString& section, const QString& key,
           const QString& value)
{
    QString error;
    if (!validateAddress(application, section, key, &error)) {
        std::fprintf(stderr, "Setting not saved: %s\n", qPrintable(error));
        return false;
    }
    settings.setValue(settingsPath(application, section, key), value);
    return true;
}

} // namespace

SettingsStore::SettingsStore(const QString& machinePath, const QString& userPath)
    : m_machinePath(machinePath)
    , m_userPath(userPath)
{
    m_machine = openStore(machinePath, QStringLiteral("machine.ini"), &m_machineProblem);
    m_user = openStore(userPath, QStringLiteral("user.ini"), &m_userProblem);
}

std::unique_ptr<QSettings> SettingsStore::openStore(const QString& path, const QString& scratchName,
                                                    QString* problem)
{
    *problem = oversizeProblem(path, MaxFileBytes);
    if (problem->isEmpty()) {
        *problem = checkFile(path);
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    // QSettings would read it whole and write it back: the run's settings go to a scratch file.
    *problem +=
        QStringLiteral("; it is left as it is, the default settings are used and changes are not saved.");
    if (!m_scratch)
        m_scratch = std::make_unique<QTemporaryDir>();
    return std::make_unique<QSettings>(m_scratch->filePath(scratchName), QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::loadProblem() const
{
    QStringList problems{m_machineProblem, m_userProblem};
    problems.removeAll(QString());
    return problems.join(QLatin1Char(' '));
}

QString SettingsStore::machinePath() const
{
    return m_machinePath;
}

QString SettingsStore::userPath() const
{
    return m_userPath;
}

QString SettingsStore::permissionDeniedMessage()
{
    return AppInfo::productTitle() +
           QStringLiteral(
               " requires read/write access to the system registry and hard drive in order to run "
               "properly.  This user account does not have the proper permissions set.  As a result "
               "some or all of your settings may not be properly saved.  Please contact your system "
               "administrator or change the permission settings for this account.\r\n\r\nIf you "
               "would like to prevent this error message from being displayed again, please press "
               "'Ignore'.");
}

void SettingsStore::saveRegSetting(const QString& application, const QString& section, const QString& key,
                                   const QString& value)
{
    save(*m_machine, application, section, key, value, false);
}

QString SettingsStore::getRegSetting(const QString& application, const QString& section, const QString& key,
                                     const QString& defaultValue, QString* error) const
{
    return read(*m_machine, application, section, key, defaultValue, error);
}

QString SettingsStore::value(const SettingKey& key, QString* error) const
{
    QSettings& store = key.scope == SettingsScope::User ? *m_user : *m_machine;
    return read(store, key.application, SettingKeys::Section, key.key, key.defaultValue, error);
}

bool SettingsStore::setValue(const SettingKey& key, const QString& value)
{
    const bool user = key.scope == SettingsScope::User;
    return save(user ? *m_user : *m_machine, key.application, SettingKeys::Section, key.key, value, user);
}

bool SettingsStore::setValues(const QList<std::pair<SettingKey, QString>>& values)
{
    bool machine = false;
    bool user = false;
    for (const auto& [key, value] : values) {
        const bool userScope = key.scope == SettingsScope::User;
        if (stage(userScope ? *m_user : *m_machine, key.application, SettingKeys::Section, key.key, value))
            (userScope ? user : machine) = true;
    }
    bool saved = true;
    if (machine)
        saved = sync(*m_machine, false) && saved;
    if (user)
        saved = sync(*m_user, true) && saved;
    return saved;
}

int SettingsStore::intValue(const SettingKey& key, int fallback) const
{
    bool ok = false;
    const int number = value(key).trimmed().toInt(&ok);
    return ok ? number : fallback;
}

int SettingsStore::count(const SettingKey& key) const
{
    const int number = intValue(key, -1);
    return number >= 0 ? number : key.defaultValue.toInt();
}

bool SettingsStore::flag(const SettingKey& key) const
{
    return intValue(key, key.defaultValue.toInt()) != 0;
}

bool SettingsStore::setFlag(const SettingKey& key, bool on)
{
    return setValue(key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool SettingsStore::save(QSettings& settings, const QString& application, const QString& section,
                         const QString& key, const QString& value, bool userScope)
{
    return stage(settings, application, section, key, value) && sync(settings, userScope);
}

bool SettingsStore::sync(QSettings& settings, bool userScope)
{
    for (;;) {
        settings.sync();
        // A format error only says that an earlier read skipped damaged lines; the write went through.
        if (settings.status() != QSettings::AccessError)
            return true;
        // The per-user area holds the answer to this very dialog; do not ask about itself. A failure
        // while the question is open waits for its answer.
        if (userScope || m_asking)
            return false;
        if (!handlePermissionDenied(writeFailureCause(settings.fileName())))
            return false;
    }
}

QString SettingsStore::read(QSettings& settings, const QString& application, const QString& section,
                            const QString& key, const QString& defaultValue, QString* error) const
{
    if (!validateAddress(application, section, key, error))
        return defaultValue;
    const QVariant stored = settings.value(settingsPath(application, section, key));
    if (!stored.isValid())
        return defaultValue;
    if (stored.typeId() != QMetaType::QString) {
        if (error)
            *error = QStringLiteral("Registry data not a string");
        return defaultValue;
    }
    return stored.toString();
}

QString SettingsStore::checkFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    LineReader reader(64 * 1024);
    if (!reader.open(path))
        return QStringLiteral("%1 cannot be read.").arg(path);
    bool ok = false;
    for (;;) {
        const QByteArray line = reader.readRawLine(&ok).trimmed();
        if (!ok)
            return {};
        const bool readable = !reader.lastLineTruncated() && (line.isEmpty() || line.startsWith(';') ||
                                                              line.startsWith('[') || line.contains('='));
        if (readable)
            continue;
        // QSettings skips what it cannot parse and drops it at the next write: keep a copy.
        const QString damaged = path + QStringLiteral(".damaged");
        QFile::remove(damaged);
        if (!QFile::copy(path, damaged))
            return QStringLiteral("%1 is damaged and could not be copied aside.").arg(path);
        return QStringLiteral("%1 was damaged; what could be read is used, and the file was kept as %2.")
            .arg(path, damaged);
    }
}

QString SettingsStore::writeFailureCause(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("a folder of that name is in the way");
    if (!info.absoluteDir().exists())
        return QString::fromLocal8Bit(std::strerror(ENOENT));
    if (info.exists() && !info.isWritable())
        return QString::fromLocal8Bit(std::strerror(EACCES));
    // The file is rewritten through a new file beside it: try one of that size.
    QFile probe(info.absolutePath() +
                QStringLiteral("/.write-probe-%1").arg(QCoreApplication::applicationPid()));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return probe.errorString();
    const QByteArray fill(info.size() + 4096, ' ');
    const bool written = TextFile::writeAll(probe, fill);
    const QString cause = probe.errorString();
    probe.remove();
    return written ? QStringLiteral("the file could not be replaced") : cause;
}

QString SettingsStore::writeFailedMessage(const QString& path, const QString& cause)
{
    const QString head = QStringLiteral("Settings cannot be saved to %1: %2.").arg(path, cause);
    if (TextFile::isOutOfSpace(cause))
        return head +
               QStringLiteral(" Free some space and press 'Retry'.\r\n\r\nIf you would like to prevent "
                              "this error message from being displayed again, please press 'Ignore'.");
    return head + QStringLiteral("\r\n\r\n") + permissionDeniedMessage();
}

bool SettingsStore::handlePermissionDenied(const QString& cause)
{
    if (value(SettingKeys::ignorePermissionDenied()) == QLatin1String("1") || m_abortedThisRun)
        return false;
    if (!m_permissionHandler) {
        if (!m_reportedOnStderr) {
            std::fprintf(
                stderr, "%s\n",
                qPrintable(
                    QStringLiteral("Settings cannot be saved to %1: %2").arg(m_machine->fileName(), cause)));
            m_reportedOnStderr = true;
        }
        return false;
    }
    // The dialog runs an event loop in which timers save again; those must not ask a second time.
    m_asking = true;
    const PermissionAnswer answer = m_permissionHandler(writeFailedMessage(m_machine->fileName(), cause));
    m_asking = false;
    switch (answer) {
    case PermissionAnswer::Retry:
        return true;
    case PermissionAnswer::Ignore:
        setValue(SettingKeys::ignorePermissionDenied(), QStringLiteral("1"));
        return false;
    case PermissionAnswer::Abort:
        // A search saves its position twice a second: asking again each time would bury the window.
        m_abortedThisRun = true;
        break;
    }
    return false;
}

} // namespace brisquel
