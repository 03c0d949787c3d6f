// Feeds arbitrary bytes as a list file to the list reader and each entry to the name preparation
// of a search. A search that resumes must meet the same entry again, the count of a list must be
// the number of entries read, and nothing but a host name in ASCII may become a query line.

#include "engine/names/lookup_name.h"
#include "engine/filing/remembered_list.h"
#include "fuzz_support.h"
#include "sources/list_file_reader.h"
#include "support/text_file.h"

using namespace brisquel;

namespace {

bool isQueryLine(const QString& query)
{
    for (const QChar c : query) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-' ||
              u == u'.'))
            return false;
    }
    return !query.isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::scratchFile(QStringLiteral("list.txt"), fuzz::bytes(data, size));

    ListFileReader reader;
    FUZZ_REQUIRE(reader.open(path));
    QStringList entries;
    QString entry;
    while (reader.readEntry(&entry)) {
        FUZZ_REQUIRE(!entry.isEmpty() && reader.entryNumber() == entries.size() + 1);
        entries.append(entry);
    }
    FUZZ_REQUIRE(!reader.hasError() && !reader.hasShrunk());
    FUZZ_REQUIRE(countListEntries(path) == entries.size());

    // Resuming at an entry meets that entry.
    if (!entries.isEmpty()) {
        const qint64 number = 1 + qint64(size) % entries.size();
        ListFileReader resumed;
        FUZZ_REQUIRE(resumed.open(path));
        resumed.seekEntry(number);
        FUZZ_REQUIRE(resumed.readEntry(&entry) && resumed.entryNumber() == number &&
                     entry == entries.at(number - 1));
    }

    for (const QString& line : std::as_const(entries)) {
        const QString domain = lookupDomain(line, QStringLiteral(".com"));
        (void)quotedEntry(line);
        if (!isQueryableDomain(domain))
            continue;
        const QString query = queryDomain(domain);
        FUZZ_REQUIRE(query.isEmpty() || isQueryLine(query));
    }

    // The other readers of one-name-a-line files.
    QStringList lines;
    FUZZ_REQUIRE(TextFile::readLines(path, &lines));
    QString error;
    (void)RememberedList::load(path, &error);
    return 0;
}
