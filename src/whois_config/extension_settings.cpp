#include "extension_settings.h"

#include "extension_table.h"
#include "rdap_bootstrap.h"
#include "support/clock.h"
#include "support/failure.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "support/text_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brisquel {

ExtensionSettings::ExtensionSettings(QString registrarsPath, QString backupsFolder, ExtensionTable* table,
                                     SettingsStore* settings, QObject* parent)
    : QObject(parent)
    , m_file(std::move(registrarsPath))
    , m_backupsFolder(std::move(backupsFolder))
    , m_table(table)
    , m_settings(settings)
    , m_clock([] { return Clock::currentDateTime(); })
{}

QList<RegistrarsDisplayRow> ExtensionSettings::rows() const
{
    return m_file.fillExtensionList();
}

bool ExtensionSettings::reload(QString* error)
{
    QList<RegistrarsProblem> problems;
    QString reason;
    const bool loaded = m_file.loadExtensionTable(m_table, &problems, &reason);
    Q_EMIT tableReloaded();
    if (!problems.isEmpty())
        Q_EMIT problemsFound(problems);
    return loaded || fail(error, reason);
}

bool ExtensionSettings::saveRow(const QString& extension, const QString& server, const QString& port,
                                bool enabled, QString* error)
{
    QString key = extension.trimmed();
    // Rows store the extension without its dot, as the lookup compares the text after the last dot.
    while (key.startsWith(QLatin1Char('.')))
        key.remove(0, 1);
    key = key.toLower();
    const QString host = server.trimmed();
    bool ok = false;
    const int number = port.trimmed().toInt(&ok);
    if (key.isEmpty() || host.isEmpty() || !ok || number < 1 || number > 65535)
        return fail(error, invalidFieldsMessage());
    QString reason;
    if (isRdapServer(host) && !rdapBaseUrl(host, &reason).isValid())
        return fail(error, invalidFieldsMessage() + QStringLiteral("\n\n") + reason);
    if (!m_file.saveExtensionRow(key, host, QString::number(number), enabled, &reason))
        return fail(error, invalidFieldsMessage() + QStringLiteral("\n\n") + reason);
    return reload(error);
}

bool ExtensionSettings::toggleRow(const RegistrarsDisplayRow& row, QString* error)
{
    if (row.size() < 4)
        return reload(error);
    // The row is written back as it stands, its status flipped; a bad port stays for the user to fix.
    QString reason;
    if (!m_file.saveExtensionRow(row.at(0), row.at(1), row.at(2),
                                 row.at(3) != RegistrarsFile::enabledStatus(), &reason))
        return fail(error, reason);
    return reload(error);
}

bool ExtensionSettings::writeRows(const QList<RegistrarsDisplayRow>& rows, QString* error)
{
    QString reason;
    if (!m_file.writeRegistrarsFromList(rows, &reason))
        return fail(error, reason);
    return reload(error);
}

bool ExtensionSettings::restoreDefaults(QString* error)
{
    // The user's own rows are never lost without a way back.
    if (QFileInfo(m_file.path()).size() > 0) {
        const QString copy =
            freshBackupPath(m_backupsFolder, QStringLiteral("registrars"), QStringLiteral(".txt"), m_clock());
        if (!QFile::copy(m_file.path(), copy))
            return fail(error, QStringLiteral("Cannot keep a copy of %1 in %2; the file was left as it is.")
                                   .arg(m_file.path(), copy));
    }
    QString reason;
    if (!m_file.createDefaultRegistrars(true, &reason))
        return fail(error, reason);
    return reload(error);
}

bool ExtensionSettings::preferRdap() const
{
    return m_settings->flag(SettingKeys::useRdap());
}

void ExtensionSettings::setPreferRdap(bool prefer)
{
    m_settings->setFlag(SettingKeys::useRdap(), prefer);
    Q_EMIT preferRdapChanged(prefer);
}

bool ExtensionSettings::confirmFree() const
{
    return m_settings->flag(SettingKeys::confirmFreeOverRdap());
}

void ExtensionSettings::setConfirmFree(bool confirm)
{
    m_settings->setFlag(SettingKeys::confirmFreeOverRdap(), confirm);
    Q_EMIT confirmFreeChanged(confirm);
}

int ExtensionSettings::historyDays() const
{
    return m_settings->count(SettingKeys::historyDays());
}

void ExtensionSettings::setHistoryDays(int days)
{
    m_settings->setValue(SettingKeys::historyDays(), QString::number(days));
    Q_EMIT historyDaysChanged(days);
}

int ExtensionSettings::watchHours() const
{
    return m_settings->count(SettingKeys::watchHours());
}

void ExtensionSettings::setWatchHours(int hours)
{
    m_settings->setValue(SettingKeys::watchHours(), QString::number(hours));
    Q_EMIT watchHoursChanged(hours);
}

bool ExtensionSettings::purchaseOnDoubleClick() const
{
    return m_settings->flag(SettingKeys::purchaseOnDoubleClick());
}

void ExtensionSettings::setPurchaseOnDoubleClick(bool purchase)
{
    if (purchase == purchaseOnDoubleClick())
        return;
    m_settings->setFlag(SettingKeys::purchaseOnDoubleClick(), purchase);
    Q_EMIT purchaseOnDoubleClickChanged(purchase);
}

bool ExtensionSettings::checkDnsFirst() const
{
    return m_settings->flag(SettingKeys::checkDnsFirst());
}

void ExtensionSettings::setCheckDnsFirst(bool check)
{
    m_settings->setFlag(SettingKeys::checkDnsFirst(), check);
    Q_EMIT dnsChanged(check, dnsServer());
}

QString ExtensionSettings::dnsServer() const
{
    return m_settings->value(SettingKeys::dnsServer());
}

void ExtensionSettings::setDnsServer(const QString& server)
{
    m_settings->setValue(SettingKeys::dnsServer(), server.trimmed());
    Q_EMIT dnsChanged(checkDnsFirst(), server.trimmed());
}

bool ExtensionSettings::useProxy() const
{
    return m_settings->flag(SettingKeys::useProxy());
}

void ExtensionSettings::setUseProxy(bool useProxy)
{
    m_settings->setFlag(SettingKeys::useProxy(), useProxy);
    Q_EMIT useProxyChanged(useProxy);
}

bool ExtensionSettings::useNetworkProxies() const
{
    return m_settings->flag(SettingKeys::useNetworkProxies());
}

void ExtensionSettings::setUseNetworkProxies(bool use)
{
    m_settings->setFlag(SettingKeys::useNetworkProxies(), use);
    Q_EMIT networkProxiesChanged();
}

QString ExtensionSettings::proxiesFile() const
{
    return m_settings->value(SettingKeys::networkProxyFile());
}

void ExtensionSettings::setProxiesFile(const QString& path)
{
    m_settings->setValue(SettingKeys::networkProxyFile(), path.trimmed());
    Q_EMIT networkProxiesChanged();
}

QString ExtensionSettings::proxiesFilePath() const
{
    return chosenFilePath(QFileInfo(registrarsPath()).path(), proxiesFile(), QStringLiteral("proxies.txt"));
}

std::pair<QString, quint16> ExtensionSettings::proxyTestTarget() const
{
    const QString preferred = useProxy() ? QStringLiteral("proxy") : QStringLiteral("com");
    std::pair<QString, quint16> first;
    for (const RegistrarsDisplayRow& row : rows()) {
        bool portOk = false;
        const quint16 port = row.value(2).toUShort(&portOk);
        // RDAP rows name a URL: no host and port to connect to.
        if (row.value(3) != RegistrarsFile::enabledStatus() || !portOk || port == 0 ||
            row.value(1).contains(QLatin1Char('/')) || row.value(1).isEmpty())
            continue;
        if (row.value(0).compare(preferred, Qt::CaseInsensitive) == 0)
            return {row.value(1), port};
        if (first.first.isEmpty())
            first = {row.value(1), port};
    }
    return first;
}

QString ExtensionSettings::defaultExtension() const
{
    return m_settings->value(SettingKeys::defaultExtension());
}

void ExtensionSettings::setDefaultExtension(const QString& extension)
{
    m_settings->setValue(SettingKeys::defaultExtension(), extension);
    Q_EMIT defaultExtensionChanged(extension);
}

void ExtensionSettings::setServerLimitsPath(const QString& path)
{
    m_limitsPath = path;
    m_limits = ServerLimitsTable::deliveredWith(path);
}

bool ExtensionSettings::saveServerLimit(const QString& host, const QString& text, QString* error)
{
    const QString key = host.trimmed().toLower();
    const QString line = key + QLatin1Char(' ') + text.simplified();
    if (!text.trimmed().isEmpty()) {
        QList<ServerLimitsTable::Problem> problems;
        ServerLimitsTable().load(line.toUtf8(), QString(), &problems);
        if (key.isEmpty() || !problems.isEmpty())
            return fail(error, QStringLiteral("A limit is written as rate=N/s (or /min, /15min, /h), "
                                              "connections=N and daily=N, e.g. \"rate=5/s connections=2\"."));
    }
    if (const QString tooLarge = oversizeProblem(m_limitsPath, ServerLimitsTable::MaxFileBytes);
        !tooLarge.isEmpty())
        return fail(error, tooLarge + QStringLiteral("; it is not changed."));
    QStringList lines;
    TextFile::readLines(m_limitsPath, &lines);
    QStringList kept;
    for (const QString& existing : std::as_const(lines)) {
        if (existing.simplified().section(QLatin1Char(' '), 0, 0).toLower() != key)
            kept.append(existing);
    }
    if (!text.trimmed().isEmpty())
        kept.append(line);
    QString reason;
    if (!TextFile::writeLines(m_limitsPath, kept, &reason))
        return fail(error, reason);
    setServerLimitsPath(m_limitsPath);
    Q_EMIT serverLimitsChanged(m_limits);
    return true;
}

QString ExtensionSettings::normalizedDefaultExtension(const QString& extension)
{
    if (extension.isEmpty())
        return QStringLiteral(".com");
    if (!extension.contains(QLatin1Char('.')))
        return QLatin1Char('.') + extension;
    return extension;
}

} // namespace brisquel
