#pragma once

#include "sources/search_type.h"

namespace brisquel {

// Which controls a search type shows. The list controls and the search controls share a place.
struct SourceControls
{
    bool listControls = false;   // start number, entry count and Start
    bool searchControls = false; // search string, count to get and Search
    bool listFileName = false;
    bool reopenButton = false; // in Start's place
};

// Which controls may be used while no search runs, and while one does.
struct PhaseControls
{
    bool chooseSource; // the search-type box and the Tools menu
    bool start;        // Start and the start number
    bool stop;
    bool searchControls; // where the search type shows them; Search wants a search string too
};

SourceControls sourceControls(SearchType type);
PhaseControls phaseControls(bool searching);

} // namespace brisquel
