#pragma once

#include "engine/dispatch/search_progress.h"

#include <QString>

namespace brisquel {

// The main window's words for where a search stands: the first status panel counts entries
// settled ("812 of 20005"), the second what the search waits for.
QString entryPanelText(const SearchProgress& progress);
// The second panel says how many lookups are open, and how many names a resting server holds back;
// its tooltip tells the names read ahead too.
QString openPanelText(const SearchProgress& progress);
QString openPanelTip(const SearchProgress& progress);
// The facts beside the panels, each in its own: empty while there is nothing to say.
enum class StatusFact { Dns, History, Dropping, Proxies };
QString factText(StatusFact fact, const SearchProgress& progress);
QString factTip(StatusFact fact);
// "1 taken name", "2 taken names".
QString countOf(qint64 count, const char* one, const char* many);
// Said when a search starts whose DNS pre-check is off because its lookups go through proxies;
// empty otherwise.
QString dnsOffNotice(const SearchProgress& progress);
// Said when a search ends that found taken names about to drop; empty when it found none.
QString droppingNotice(const SearchProgress& progress);
// "The history settled N taken names …" and how many verdicts it could not record; nothing when
// neither happened.
QString historyNotice(const SearchProgress& progress);

} // namespace brisquel
