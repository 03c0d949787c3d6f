#pragma once

#include "engine/search/startup.h"
#include "support/data_folder.h"

#include <QObject>
#include <QString>
#include <memory>

namespace brisquel {

class AnswerRules;
class ExtensionTable;
class LiveListFiles;
class ResultLists;
class SearchDriver;
class SettingsStore;
class VerdictFiler;

// The core objects a search works with, wired to each other once for the GUI and the command line:
// the settings, the extension table, the result lists and their files, the verdict filer and the
// search driver, all on one data folder.
class SearchSession : public QObject
{
    Q_OBJECT
public:
    SearchSession(const DataFolder& folder, const QString& userSettingsPath, QObject* parent = nullptr);
    ~SearchSession() override;

    // Runs start-up (files, folders, extension table, rules, limits) and gives its result to the
    // driver. A DNS server in the settings that is no address leaves the pre-check off; *dnsError
    // then says why, for the caller to show.
    const StartupResult& start(const UrlOpener& openUrl, QString* dnsError = nullptr);

    // The window's network proxies: while the setting is on, reads the proxies file (again: the
    // setting or the file may have changed) and hands its proxies to the driver; none while it is
    // off. The command line names its proxies itself. Returns how many proxies are in use.
    int reloadProxies(QStringList* problems);

    const DataFolder& dataFolder() const { return m_folder; }
    SettingsStore* settings() const { return m_settings.get(); }
    ExtensionTable* table() const { return m_table.get(); }
    ResultLists* lists() const { return m_lists.get(); }
    LiveListFiles* listFiles() const { return m_listFiles.get(); }
    VerdictFiler* filer() const { return m_filer.get(); }
    SearchDriver* driver() const { return m_driver.get(); }
    const StartupResult& startupResult() const { return m_startup; }
    std::shared_ptr<const AnswerRules> answerRules() const { return m_startup.answerRules; }

private:
    DataFolder m_folder;
    // Declared in the order they depend on each other, so that the driver goes first.
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ExtensionTable> m_table;
    std::unique_ptr<ResultLists> m_lists;
    std::unique_ptr<LiveListFiles> m_listFiles;
    std::unique_ptr<VerdictFiler> m_filer;
    std::unique_ptr<SearchDriver> m_driver;
    StartupResult m_startup;
};

} // namespace brisquel
