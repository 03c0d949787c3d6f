// What start-up found: the saved names, the settings the window shows, and what it skipped.
#include "list_frame.h"
#include "main_window.h"
#include "support/settings_store.h"
#include "ui/message_log.h"
#include "ui/result_list_actions.h"
#include "whois_config/extension_settings.h"

namespace brisquel {

namespace {

// How a line left out of a file the program reads at start-up is reported.
QString skippedLine(const QString& file, qint64 lineNumber, const QString& problem)
{
    return QStringLiteral("%1: line %2 skipped: %3").arg(file).arg(lineNumber).arg(problem);
}

} // namespace

void MainWindow::applyStartup()
{
    QString dnsError;
    const StartupResult& startup = m_session->start(m_openUrl, &dnsError);
    m_listActions->loadSavedDomains(startup.savedDomains, startup.savedDomainsReadable);
    if (!dnsError.isEmpty())
        showNotice(dnsError + QStringLiteral(" The DNS pre-check is off; set a server in Setup."));
    m_extensionSettings->setServerLimitsPath(dataFolder().path(QStringLiteral("server-limits.txt")));
    showProxyUse();
    // Start-up has told the proxies file's problems already; later loads tell only new ones.
    m_session->reloadProxies(&m_proxyProblems);

    const bool purchase = settings()->value(SettingKeys::purchaseOnDoubleClick()) == QLatin1String("1");
    m_listActions->setPurchase(purchase, settings()->value(SettingKeys::purchaseAddress()));
    m_listFrame->showDoubleClickChoice(purchase);
}

void MainWindow::reportStartupProblems()
{
    // Start-up carries on whatever failed. The log names every line skipped; the status bar sums
    // them up.
    const StartupResult& startup = startupResult();
    for (const QString& problem : std::as_const(startup.problems))
        showNotice(problem);
    for (const RegistrarsProblem& problem : std::as_const(startup.registrarProblems))
        m_log->append(skippedLine(QStringLiteral("registrars.txt"), problem.lineNumber, problem.message));
    for (const ServerLimitsTable::Problem& problem : std::as_const(startup.serverLimitProblems))
        showNotice(skippedLine(problem.origin, problem.lineNumber, problem.message));
    for (const AnswerRules::Problem& problem : std::as_const(startup.answerRuleProblems))
        showNotice(skippedLine(problem.origin, problem.lineNumber, problem.message));
    for (const LifeCycleRules::Problem& problem : std::as_const(startup.lifeCycleProblems))
        showNotice(skippedLine(problem.origin, problem.lineNumber, problem.message));
    if (!startup.registrarProblems.isEmpty()) {
        const RegistrarsProblem& first = startup.registrarProblems.first();
        showNotice(QStringLiteral("registrars.txt: %1 line(s) skipped, the first is line %2: %3")
                       .arg(startup.registrarProblems.size())
                       .arg(first.lineNumber)
                       .arg(first.message));
    }
}

void MainWindow::showRegistrarsProblems(const QList<RegistrarsProblem>& problems)
{
    for (const RegistrarsProblem& problem : problems)
        showNotice(skippedLine(QStringLiteral("registrars.txt"), problem.lineNumber, problem.message));
}

} // namespace brisquel
