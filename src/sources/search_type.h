#pragma once

#include "support/settings_keys.h"

#include <QList>
#include <QString>
#include <optional>

namespace brisquel {

// In the order of the search-type box and the Tools menu.
enum class SearchType
{
    BrowseForNames,
    GenerateNames,
    YahooSearch,
    GoogleSearch,
    FullWordList,
    AllTwoLetter,
    AllThreeLetter,
    AllFourLetter,
    CustomList,
};

const QList<SearchType>& allSearchTypes();
QString searchTypeCaption(SearchType type); // "Full Word List", ...
std::optional<SearchType> searchTypeFromCaption(const QString& caption);
// Path of the type's list file relative to the data folder; empty for "Custom List" (picked by
// the user) and "Browse for names" (none).
QString searchTypeListFile(SearchType type);
// The setting that remembers where a search of this type got to, if it has one.
std::optional<SettingKey> searchTypeCounterKey(SearchType type);
bool isSearchEngine(SearchType type);

} // namespace brisquel
