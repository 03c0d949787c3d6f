#include "startup.h"

#include "engine/judging/drop_rules.h"
#include "engine/filing/remembered_list.h"
#include "support/clock.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "support/startup_files.h"
#include "whois_config/extension_table.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brisquel {

namespace {

// SHA-256 of each answer-rules.txt and server-limits.txt that earlier versions copied into the
// data folder, taken as contentDigest() takes it.
const char* const EarlierDeliveredDigests[] = {
    "fa93d7d05eb3648c2f90ff662df04c43df6c622991fc8aacbdf0a30876ea6e89", // answer rules, first
    "21d6fe82b2abe568f67c56d725b702deb02ff2d4f4312918d0f68bac292f7f65",
    "d411d71efa01664df50e2feca7f25a3e0458cead43e39885343370eda3c2ff88", // answer rules, last copied
    "4a58bcccefb105530771ffae64f44d48a9bdb9cc945034d8acfd11a61000a092", // server limits
};

// Any line ends, and none at the end: a copy that an editor saved unchanged still counts as one.
QByteArray contentDigest(QByteArray bytes)
{
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    while (bytes.endsWith('\n'))
        bytes.chop(1);
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool isEarlierDeliveredCopy(const QString& path)
{
    // The delivered copies were a few kilobytes; anything much larger, or a device or a FIFO, was
    // not one of them.
    if (!oversizeProblem(path, 256 * 1024).isEmpty())
        return false;
    const std::optional<QByteArray> bytes = readWhole(path, 256 * 1024, nullptr);
    if (!bytes)
        return false;
    const QByteArray digest = contentDigest(*bytes);
    // A copy of this version's own delivered text adds nothing to the built-in rules either.
    for (const char* resource : {":/data/answer-rules.txt", ":/data/server-limits.txt"}) {
        QFile delivered(QString::fromLatin1(resource));
        if (delivered.open(QIODevice::ReadOnly) && contentDigest(delivered.readAll()) == digest)
            return true;
    }
    return std::any_of(std::begin(EarlierDeliveredDigests), std::end(EarlierDeliveredDigests),
                       [&digest](const char* known) { return digest == known; });
}

bool isOlderPublication(const QString& own, const QString& delivered)
{
    const QDateTime ownTime = QDateTime::fromString(own, Qt::ISODate);
    const QDateTime deliveredTime = QDateTime::fromString(delivered, Qt::ISODate);
    // A file without a date is the user's own making: it is taken as it is.
    return ownTime.isValid() && deliveredTime.isValid() && ownTime < deliveredTime;
}

} // namespace

Startup::Startup(const DataFolder& folder, SettingsStore* settings)
    : m_folder(folder)
    , m_settings(settings)
{}

StartupResult Startup::run(ExtensionTable* table, const UrlOpener& openUrl) const
{
    StartupResult result;
    if (const QString settingsProblem = m_settings->loadProblem(); !settingsProblem.isEmpty())
        result.problems.append(settingsProblem);
    QString rootError;
    if (!m_folder.ensureRoot(&rootError))
        result.problems.append(rootError);
    result.problems += retireDeliveredCopies();
    result.problems += m_folder.deliverFiles();
    result.problems += ensureStartupFiles(m_folder);
    QString error;
    result.savedDomains = RememberedList::load(rememberedPath(), &error);
    if (!error.isEmpty()) {
        result.savedDomainsReadable = false;
        result.problems.append(error);
    }
    result.problems += ensureStartupFolders(m_folder);
    result.problems += loadRegistrars(table, &result.registrarProblems);
    result.answerRules = loadAnswerRules(&result.answerRuleProblems, &result.problems);
    QString limitsError;
    result.serverLimits =
        ServerLimitsTable::deliveredWith(serverLimitsPath(), &result.serverLimitProblems, &limitsError);
    if (!limitsError.isEmpty())
        result.problems.append(limitsError);
    result.lifeCycleRules = loadLifeCycleRules(&result.lifeCycleProblems, &result.problems);
    LifeCycleRules::install(result.lifeCycleRules);
    // Read here only to report its broken lines; the filer and the drops command read it themselves.
    DropRules::inFolderFile(m_folder.path(QStringLiteral("drop-rules.txt")), &result.problems);
    result.rdapBootstrap = loadRdapBootstrap(&result.problems);
    result.preferRdap = m_settings->flag(SettingKeys::useRdap());
    result.checkDnsFirst = m_settings->flag(SettingKeys::checkDnsFirst());
    result.confirmFree = m_settings->flag(SettingKeys::confirmFreeOverRdap());
    result.dnsServer = m_settings->value(SettingKeys::dnsServer());
    bool minutesOk = false;
    const double minutes = m_settings->value(SettingKeys::deadServerMinutes()).toDouble(&minutesOk);
    if (minutesOk && minutes > 0)
        result.deadServerMs = qint64(std::min(minutes, 24.0 * 60) * 60 * 1000);
    else
        result.problems.append(QStringLiteral("DeadServerMinutes \"%1\" in settings.ini is not a number of "
                                              "minutes; 2 minutes are used.")
                                   .arg(m_settings->value(SettingKeys::deadServerMinutes())));
    result.historyDays = countSetting(SettingKeys::historyDays(), 3650, &result.problems);
    result.zoneDays = countSetting(SettingKeys::zoneDays(), 3650, &result.problems);
    result.zoneFolder = m_folder.path(QStringLiteral("zones"));
    result.watchHours = countSetting(SettingKeys::watchHours(), 24 * 365, &result.problems);
    result.proxies = loadProxies(&result.problems);
    result.useProxy = m_settings->flag(SettingKeys::useProxy());
    result.defaultExtension = m_settings->value(SettingKeys::defaultExtension());
    // Last: whatever opening the help does to the program, the data folder is complete by then.
    result.helpOpened = openHelpOnFirstStart(openUrl);
    return result;
}

int Startup::countSetting(const SettingKey& key, int most, QStringList* problems) const
{
    if (const int value = m_settings->intValue(key, -1); value >= 0)
        return std::min(value, most);
    problems->append(
        QStringLiteral("%1 \"%2\" in settings.ini is not a whole number of 0 or more; %3 is used.")
            .arg(key.key, m_settings->value(key), key.defaultValue));
    return m_settings->count(key);
}

QString Startup::proxyListPath() const
{
    return chosenFilePath(m_folder.root(), m_settings->value(SettingKeys::networkProxyFile()),
                          QString::fromLatin1(ProxyList::FileName));
}

QList<ProxyEntry> Startup::loadProxies(QStringList* problems) const
{
    if (!m_settings->flag(SettingKeys::useNetworkProxies()))
        return {};
    return ProxyList::loadForUse(proxyListPath(), problems).proxies;
}

bool Startup::openHelpOnFirstStart(const UrlOpener& openUrl) const
{
    if (m_settings->value(SettingKeys::showHelpAtStart()) != QLatin1String("1"))
        return false;
    const QString help = helpFilePath();
    if (!fileExists(help) || !openUrl)
        return false;
    // Off before the attempt, so that settings.ini exists and a start that fails while opening the
    // help is not repeated on every start; a help that could not be opened is offered again.
    m_settings->setValue(SettingKeys::showHelpAtStart(), QStringLiteral("0"));
    if (openUrl(QUrl::fromLocalFile(help)))
        return true;
    m_settings->setValue(SettingKeys::showHelpAtStart(), QStringLiteral("1"));
    return false;
}

QStringList Startup::loadRegistrars(ExtensionTable* table, QList<RegistrarsProblem>* problems) const
{
    QStringList failures;
    const RegistrarsFile file(registrarsPath());
    QString error;
    if (!file.createDefaultRegistrars(false, &error))
        failures.append(error);
    error.clear();
    if (!file.loadExtensionTable(table, problems, &error))
        failures.append(error.isEmpty() ? QStringLiteral("Cannot read %1").arg(file.path()) : error);
    // Lookups need a table even when the file is unusable.
    if (table->isEmpty())
        table->setRows(defaultExtensionRows());
    return failures;
}

QString Startup::moveToBackups(const QString& name, QString* error) const
{
    const QFileInfo info(m_folder.path(name));
    const QString kept = QDir(m_folder.root())
                             .relativeFilePath(freshBackupPath(
                                 m_folder.path(QStringLiteral("backups")), info.completeBaseName(),
                                 QLatin1Char('.') + info.suffix(), Clock::currentDateTime()));
    if (QFile::rename(info.filePath(), m_folder.path(kept)))
        return kept;
    if (error)
        *error = QStringLiteral("%1 could not be moved to %2").arg(name, kept);
    return {};
}

QStringList Startup::retireDeliveredCopies() const
{
    struct Copy
    {
        QString name;
        QString what;
    };
    QStringList notes;
    for (const Copy& copy : {Copy{QStringLiteral("answer-rules.txt"), QStringLiteral("rules")},
                             Copy{QStringLiteral("server-limits.txt"), QStringLiteral("limits")}}) {
        if (!isEarlierDeliveredCopy(m_folder.path(copy.name)))
            continue;
        // Such a copy would hold the rules of its day over the built-in ones for good.
        QString error;
        const QString kept = moveToBackups(copy.name, &error);
        if (kept.isEmpty()) {
            notes.append(
                QStringLiteral("%1 is an unchanged copy of earlier delivered %2 and holds them over the "
                               "built-in ones, but %3.")
                    .arg(copy.name, copy.what, error));
            continue;
        }
        notes.append(
            QStringLiteral("%1 was an unchanged copy of the delivered %2; it was moved to %3 and replaced "
                           "by a template for your own %2. The delivered %2 are built in and updated "
                           "with the program.")
                .arg(copy.name, copy.what, kept));
    }
    return notes;
}

std::shared_ptr<const RdapBootstrap> Startup::loadRdapBootstrap(QStringList* problems) const
{
    auto delivered = std::make_shared<RdapBootstrap>();
    delivered->load(RdapBootstrap::shippedText());
    const QString path = rdapBootstrapPath();
    if (!QFileInfo::exists(path))
        return delivered;
    if (const QString tooLarge = oversizeProblem(path, RdapBootstrap::MaxFileBytes); !tooLarge.isEmpty()) {
        problems->append(tooLarge +
                         QStringLiteral("; it is not read and the delivered copy is used instead."));
        return delivered;
    }
    auto own = std::make_shared<RdapBootstrap>();
    QFile file(path);
    QString error;
    if (!file.open(QIODevice::ReadOnly))
        error = file.errorString();
    else if (own->load(file.readAll(), &error)) {
        if (!isOlderPublication(own->publication(), delivered->publication()))
            return own;
        // A copy of an older registry would keep old addresses in use after an update brought new ones.
        const QString kept = moveToBackups(QStringLiteral("rdap-dns.json"), &error);
        problems->append(
            QStringLiteral(
                "rdap-dns.json in the data folder was published %1, before the delivered copy (%2); %3 "
                "the delivered copy is used.")
                .arg(own->publication(), delivered->publication(),
                     kept.isEmpty() ? error + QStringLiteral(", and")
                                    : QStringLiteral("it was moved to %1 and").arg(kept)));
        return delivered;
    }
    problems->append(
        QStringLiteral("rdap-dns.json cannot be used (%1); the delivered copy is used instead.").arg(error));
    return delivered;
}

std::shared_ptr<const AnswerRules> Startup::loadAnswerRules(QList<AnswerRules::Problem>* problems,
                                                            QStringList* errors) const
{
    auto rules = std::make_shared<AnswerRules>();
    rules->load(AnswerRules::shippedText(), QStringLiteral("answer-rules.txt (delivered)"), problems);
    const QString path = answerRulesPath();
    QString error;
    // Anything in the file's place is read, so that a folder there is reported, not ignored; a copy
    // of earlier delivered rules that start-up has yet to retire is not the user's.
    if (QFileInfo::exists(path) && !isEarlierDeliveredCopy(path) && !rules->loadFile(path, problems, &error))
        errors->append(error);
    rules->restoreMissingKinds(AnswerRules::shipped(), errors);
    return rules;
}

std::shared_ptr<const LifeCycleRules> Startup::loadLifeCycleRules(QList<LifeCycleRules::Problem>* problems,
                                                                  QStringList* errors) const
{
    QString error;
    std::shared_ptr<const LifeCycleRules> rules =
        LifeCycleRules::deliveredWith(lifeCycleRulesPath(), problems, &error);
    if (!error.isEmpty())
        errors->append(error);
    return rules;
}

} // namespace brisquel
