#include "search_type.h"

namespace brisquel {

const QList<SearchType>& allSearchTypes()
{
    static const QList<SearchType> types = {
        SearchType::BrowseForNames, SearchType::GenerateNames, SearchType::YahooSearch,
        SearchType::GoogleSearch,   SearchType::FullWordList,  SearchType::AllTwoLetter,
        SearchType::AllThreeLetter, SearchType::AllFourLetter, SearchType::CustomList,
    };
    return types;
}

QString searchTypeCaption(SearchType type)
{
    switch (type) {
    case SearchType::BrowseForNames:
        return QStringLiteral("Browse for names");
    case SearchType::GenerateNames:
        return QStringLiteral("Generate names");
    case SearchType::YahooSearch:
        return QStringLiteral("Yahoo Search");
    case SearchType::GoogleSearch:
        return QStringLiteral("Google Search");
    case SearchType::FullWordList:
        return QStringLiteral("Full Word List");
    case SearchType::AllTwoLetter:
        return QStringLiteral("All Two Letter");
    case SearchType::AllThreeLetter:
        return QStringLiteral("All Three Letter");
    case SearchType::AllFourLetter:
        return QStringLiteral("All Four Letter");
    case SearchType::CustomList:
        return QStringLiteral("Custom List");
    }
    return {};
}

std::optional<SearchType> searchTypeFromCaption(const QString& caption)
{
    for (SearchType type : allSearchTypes()) {
        if (searchTypeCaption(type) == caption)
            return type;
    }
    return std::nullopt;
}

QString searchTypeListFile(SearchType type)
{
    switch (type) {
    case SearchType::FullWordList:
        return QStringLiteral("wordlists/FullWordList.txt");
    case SearchType::AllTwoLetter:
        return QStringLiteral("wordlists/AllTwoLetter.txt");
    case SearchType::AllThreeLetter:
        return QStringLiteral("wordlists/AllThreeLetter.txt");
    case SearchType::AllFourLetter:
        return QStringLiteral("wordlists/AllFourLetter.txt");
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
        return QStringLiteral("BrowserSearch.txt");
    case SearchType::GenerateNames:
        return QStringLiteral("CreatedDomains.txt");
    case SearchType::BrowseForNames:
    case SearchType::CustomList:
        break;
    }
    return {};
}

std::optional<SettingKey> searchTypeCounterKey(SearchType type)
{
    switch (type) {
    case SearchType::FullWordList:
        return SettingKeys::fullWordsPosition();
    case SearchType::AllTwoLetter:
        return SettingKeys::twoWordsPosition();
    case SearchType::AllThreeLetter:
        return SettingKeys::threeWordsPosition();
    case SearchType::AllFourLetter:
        return SettingKeys::fourWordsPosition();
    case SearchType::CustomList:
        return SettingKeys::customListPosition();
    case SearchType::YahooSearch:
        return SettingKeys::yahooHarvestPosition();
    case SearchType::GoogleSearch:
        return SettingKeys::googleHarvestPosition();
    case SearchType::BrowseForNames:
    case SearchType::GenerateNames:
        break;
    }
    return std::nullopt;
}

bool isSearchEngine(SearchType type)
{
    return type == SearchType::YahooSearch || type == SearchType::GoogleSearch;
}

} // namespace brisquel
