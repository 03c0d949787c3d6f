#include "startup.h"

#include "engine/remembered_list.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "support/startup_files.h"
#include "whois_config/extension_table.h"

#include <QFile>
#include <QFileInfo>

namespace brisquel {

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
    result.problems += m_folder.deliverFiles();
    result.helpOpened = openHelpOnFirstStart(openUrl);
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
    result.rdapBootstrap = loadRdapBootstrap(&result.problems);
    result.preferRdap = m_settings->flag(SettingKeys::chkRdap());
    result.checkDnsFirst = m_settings->flag(SettingKeys::chkDns());
    result.dnsServer = m_settings->value(SettingKeys::DnsServer());
    result.useProxy = m_settings->flag(SettingKeys::chkProxy());
    result.defaultExtension = m_settings->value(SettingKeys::DefaultExt());
    return result;
}

bool Startup::openHelpOnFirstStart(const UrlOpener& openUrl) const
{
    if (m_settings->value(SettingKeys::showHelp()) != QLatin1String("1"))
        return false;
    const QString help = helpFilePath();
    if (!fileExists(help) || !openUrl || !openUrl(QUrl::fromLocalFile(help)))
        return false;
    m_settings->setValue(SettingKeys::showHelp(), QStringLiteral("0"));
    return true;
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

std::shared_ptr<const RdapBootstrap> Startup::loadRdapBootstrap(QStringList* problems) const
{
    auto bootstrap = std::make_shared<RdapBootstrap>();
    QFile file(rdapBootstrapPath());
    QString error;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            error = file.errorString();
        else if (bootstrap->load(file.readAll(), &error))
            return bootstrap;
        problems->append(
            QStringLiteral("rdap-dns.json cannot be used (%1); the delivered copy is used instead.")
                .arg(error));
    }
    bootstrap->load(RdapBootstrap::shippedText());
    return bootstrap;
}

std::shared_ptr<const AnswerRules> Startup::loadAnswerRules(QList<AnswerRules::Problem>* problems,
                                                            QStringList* errors) const
{
    auto rules = std::make_shared<AnswerRules>();
    rules->load(AnswerRules::shippedText(), QStringLiteral("answer-rules.txt (delivered)"), problems);
    const QString path = answerRulesPath();
    QString error;
    // Anything in the file's place is read, so that a folder there is reported, not ignored.
    if (QFileInfo::exists(path) && !rules->loadFile(path, problems, &error))
        errors->append(error);
    return rules;
}

} // namespace brisquel
