#include "control_states.h"

namespace brisquel {

namespace {

constexpr PhaseControls Idle{.chooseSource = true, .start = true, .stop = false, .searchControls = true};
constexpr PhaseControls Searching{
    .chooseSource = false, .start = false, .stop = true, .searchControls = false};

} // namespace

SourceControls sourceControls(SearchType type)
{
    switch (type) {
    case SearchType::FullWordList:
    case SearchType::AllTwoLetter:
    case SearchType::AllThreeLetter:
    case SearchType::AllFourLetter:
        return {.listControls = true};
    case SearchType::CustomList:
        return {.listControls = true, .listFileName = true};
    case SearchType::YahooSearch:
    case SearchType::GoogleSearch:
        return {.searchControls = true};
    case SearchType::BrowseForNames:
    case SearchType::GenerateNames:
        return {.reopenButton = true};
    }
    return {};
}

PhaseControls phaseControls(bool searching)
{
    return searching ? Searching : Idle;
}

} // namespace brisquel
