// Feeds arbitrary text to the page text rules. The first byte picks the extension rows and
// whether the rest is read as UTF-8 or as raw UTF-16 (which can hold lone surrogates).

#include "reference_text_rules.h"
#include "sources/domain_text.h"
#include "sources/known_extensions.h"
#include "sources/page_extraction.h"
#include "sources/text_candidate.h"

#include <cstdint>
#include <cstdlib>

using namespace brisquel;

namespace {

QStringList extensionRows(std::uint8_t choice)
{
    static const QStringList pool =
        QStringLiteral("com net info biz name co uk us mil il cn cn COM m o/ e.co c m")
            .split(QLatin1Char(' '));
    QStringList rows;
    for (int bit = 0; bit < 7; ++bit) {
        if (choice & (1u << bit))
            rows.append(pool.at((bit * 3 + choice / 16) % pool.size()));
    }
    return rows;
}

template <typename T>
void expectSame(const T& actual, const T& expected)
{
    if (actual != expected)
        std::abort();
}

QString orNone(const std::optional<QString>& candidate)
{
    return candidate ? *candidate : QStringLiteral("(none)");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t choice = data[0];
    const QStringList rows = extensionRows(choice);
    const KnownExtensions known(rows);
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    const QString text = (choice & 0x80) ? QString(reinterpret_cast<const QChar*>(bytes), length / 2)
                                         : QString::fromUtf8(bytes, length);

    QString found;
    const QStringList harvested = extractHarvestNames(text, &found, known);
    QString seen;
    const PageScan scan = scanBrowserPage(text, &seen, known);
    (void)harvested;
    (void)scan;

    // The transcriptions replace whole texts over and over; keep them to small inputs.
    if (text.size() <= 512) {
        const QString line = QStringLiteral("http://") + text;
        expectSame(correctName(text), reference::correctName(text));
        expectSame(urlDecode(text), reference::urlDecode(text));
        expectSame(preparePageText(text, known), reference::preparePageText(text, rows));
        expectSame(extensionEndPos(text, known), reference::extensionEndPos(text, rows));
        expectSame(registrableDomain(text), reference::registrableDomain(text));
        expectSame(
            orNone(linkCandidate(line, text, choice & 1, known)),
            orNone(reference::linkCandidate(line, text, choice & 1, rows, defaultExcludedLinkTexts())));
        expectSame(orNone(textCandidate(text, QString(), known)),
                   orNone(reference::textCandidate(text, QString(), rows)));
    }
    return 0;
}
