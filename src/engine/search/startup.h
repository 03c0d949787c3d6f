#pragma once

#include "engine/judging/answer_rules.h"
#include "engine/judging/life_cycle_rules.h"
#include "engine/lookup/proxy_list.h"
#include "support/data_folder.h"
#include "support/settings_keys.h"
#include "whois_config/rdap_bootstrap.h"
#include "whois_config/registrars_file.h"
#include "whois_config/server_limits.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

namespace brisquel {

class ExtensionTable;
class SettingsStore;

// Opens an address outside the program (the help file, a registrar's page); tests replace it.
using UrlOpener = std::function<bool(const QUrl&)>;

struct StartupResult
{
    // Files and folders that could not be made; start-up carries on without them.
    QStringList problems;
    QList<RegistrarsProblem> registrarProblems;
    QStringList savedDomains;
    // False when Remembered.txt exists but could not be read: it must not be overwritten with less.
    bool savedDomainsReadable = true;
    bool helpOpened = false;
    bool useProxy = false;
    QString defaultExtension;
    // The delivered answer rules with the data folder's answer-rules.txt over them.
    std::shared_ptr<const AnswerRules> answerRules;
    QList<AnswerRules::Problem> answerRuleProblems;
    // The delivered server limits with the data folder's server-limits.txt over them.
    ServerLimitsTable serverLimits;
    QList<ServerLimitsTable::Problem> serverLimitProblems;
    // The delivered life-cycle lines with the data folder's life-cycle.txt over them; run() also
    // puts them in force for every reader of answers.
    std::shared_ptr<const LifeCycleRules> lifeCycleRules;
    QList<LifeCycleRules::Problem> lifeCycleProblems;
    // The data folder's rdap-dns.json, or the delivered copy when that one cannot be used or is
    // older than the delivered one.
    std::shared_ptr<const RdapBootstrap> rdapBootstrap;
    bool preferRdap = false;
    bool checkDnsFirst = true;
    bool confirmFree = true;
    QString dnsServer;
    // How long a registry may stay silent before its names are given up.
    qint64 deadServerMs = 2 * 60 * 1000;
    int historyDays = 7;
    int zoneDays = 3;
    QString zoneFolder; // the data folder's zones/, where imported zone indexes live
    int watchHours = 24;
    // The network proxies lookups go through, when the settings say to use them.
    QList<ProxyEntry> proxies;
};

// The main window's start-up apart from its widgets, so that it runs without a display.
class Startup
{
public:
    Startup(const DataFolder& folder, SettingsStore* settings);

    // Every step in order: delivered files, working files, Saved Domains, folders, extension table,
    // proxy and default extension, and last the help on the first start.
    StartupResult run(ExtensionTable* table, const UrlOpener& openUrl) const;

    // Opens the help file while showHelp is "1", then turns showHelp off.
    bool openHelpOnFirstStart(const UrlOpener& openUrl) const;
    // Writes the default registrars.txt when there is none, then loads it into the table.
    QStringList loadRegistrars(ExtensionTable* table, QList<RegistrarsProblem>* problems) const;

    QString helpFilePath() const { return m_folder.path(QStringLiteral("Help.html")); }
    QString rememberedPath() const { return m_folder.path(QStringLiteral("Remembered.txt")); }
    QString registrarsPath() const { return m_folder.path(QStringLiteral("registrars.txt")); }
    QString answerRulesPath() const { return m_folder.path(QStringLiteral("answer-rules.txt")); }
    QString serverLimitsPath() const { return m_folder.path(QStringLiteral("server-limits.txt")); }
    QString lifeCycleRulesPath() const { return m_folder.path(QStringLiteral("life-cycle.txt")); }
    // The network proxies' list: the setting's file (a relative path in the data folder), else
    // proxies.txt in the data folder.
    QString proxyListPath() const;
    QString rdapBootstrapPath() const { return m_folder.path(QStringLiteral("rdap-dns.json")); }
    std::shared_ptr<const RdapBootstrap> loadRdapBootstrap(QStringList* problems) const;
    // The listed proxies while "use network proxies" is on, else none. A file that cannot be read
    // and its bad lines go to *problems: the lookups then go out through the proxies that remain,
    // or directly.
    QList<ProxyEntry> loadProxies(QStringList* problems) const;
    // The delivered rules, then the user's file over them (server by server; its generic rules
    // added), with the delivered ones back where the user's leave no name free.
    std::shared_ptr<const AnswerRules> loadAnswerRules(QList<AnswerRules::Problem>* problems,
                                                       QStringList* errors) const;
    // The delivered life-cycle lines, then the data folder's life-cycle.txt; a file that cannot be
    // read goes to *errors and leaves the delivered lines.
    std::shared_ptr<const LifeCycleRules> loadLifeCycleRules(QList<LifeCycleRules::Problem>* problems,
                                                             QStringList* errors) const;

private:
    // A whole number of 0 or more from the settings, at most `most`; the key's default and a note
    // when it is none.
    int countSetting(const SettingKey& key, int most, QStringList* problems) const;
    // answer-rules.txt and server-limits.txt that are unchanged copies of earlier delivered ones go
    // to backups, so that the template takes their place; the notes say so.
    QStringList retireDeliveredCopies() const;
    // The file's new path under the folder ("backups/NAME-yyyyMMdd-hhmmss.EXT"), or empty.
    QString moveToBackups(const QString& name, QString* error) const;

    DataFolder m_folder;
    SettingsStore* m_settings;
};

} // namespace brisquel
