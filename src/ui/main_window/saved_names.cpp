// The history of every check, and the watch list of the saved names that runs on it.
#include "engine/filing/result_lists.h"
#include "engine/filing/verdict_filer.h"
#include "engine/search/watch_run.h"
#include "engine/search/watch_schedule.h"
#include "history/history_store.h"
#include "main_window.h"
#include "ui/desktop_notifier.h"
#include "ui/message_log.h"
#include "whois_config/extension_settings.h"

namespace brisquel {

void MainWindow::openHistory()
{
    QStringList messages;
    m_history = openFolderHistory(dataFolder().root(), &messages);
    for (const QString& message : std::as_const(messages))
        showNotice(message);
    if (!m_history)
        return;
    connect(m_history.get(), &HistoryStore::problem, this,
            qOverload<const QString&>(&MainWindow::showNotice));
    verdictFiler()->setHistory(m_history.get());
    m_watchSchedule = std::make_unique<WatchSchedule>(m_session, m_history.get());
    m_notifier = new DesktopNotifier(this);
    connect(m_watchSchedule.get(), &WatchSchedule::message, m_log, &MessageLog::append);
    connect(m_watchSchedule.get(), &WatchSchedule::news, this, &MainWindow::showWatchNews);
    connect(m_watchSchedule.get(), &WatchSchedule::notificationDue, m_notifier, &DesktopNotifier::notify);
    m_watchSchedule->setBusyCheck([this] { return isSearching(); });
    m_watchSchedule->start(startupResult().watchHours);
    connect(m_extensionSettings, &ExtensionSettings::watchHoursChanged, m_watchSchedule.get(),
            &WatchSchedule::start);
}

void MainWindow::checkSavedNamesNow()
{
    if (!m_watchSchedule) {
        showNotice(
            QStringLiteral("The saved names cannot be checked without a history (see View > Messages)."));
        return;
    }
    showNoticeLine(QStringLiteral("Checking the saved names…"), QString());
    m_watchSchedule->checkNow();
}

void MainWindow::showWatchNews(const QList<WatchChange>& changes, const QString& summary)
{
    // The most telling change of a name is its mark: came free over started dropping over a date.
    const auto rank = [](const QString& kind) {
        return kind == QLatin1String("came-free") ? 3 : kind == QLatin1String("started-dropping") ? 2 : 1;
    };
    const auto mark = [](const QString& kind) {
        return kind == QLatin1String("came-free")          ? QStringLiteral("came free")
               : kind == QLatin1String("started-dropping") ? QStringLiteral("dropping")
                                                           : QStringLiteral("expiry moved");
    };
    QHash<QString, std::pair<int, QString>> marks;
    QHash<QString, QStringList> wholes;
    for (const WatchChange& change : changes) {
        const QString name =
            resultLists()->contains(ResultList::Saved, change.name) ? change.name : change.ascii;
        wholes[name] << watchChangeText(change);
        if (rank(change.kind) > marks.value(name).first)
            marks.insert(name, {rank(change.kind), mark(change.kind)});
    }
    for (auto entry = marks.cbegin(); entry != marks.cend(); ++entry)
        resultLists()->markNews(entry.key(), entry->second,
                                wholes.value(entry.key()).join(QLatin1Char('\n')));
    // The log has each change already.
    QStringList whole{summary};
    for (const QStringList& lines : std::as_const(wholes))
        whole << lines;
    showNoticeLine(summary, whole.join(QLatin1Char('\n')));
}

} // namespace brisquel
