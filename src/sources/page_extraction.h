#pragma once

#include "sources/domain_text.h"
#include "sources/known_extensions.h"

#include <QString>
#include <QStringList>

namespace brisquel {

// The harvester's reading of one result page: every line of the prepared page is decoded and
// read by the link rule with bold tags stripped. Each accepted name is appended with a line
// break to *harvestText, which is also what the duplicate test looks at; the names are
// returned in the order found.
QStringList extractHarvestNames(const QString& html, QString* harvestText, const KnownExtensions& extensions,
                                const QStringList& excludedTexts = defaultExcludedLinkTexts());

struct PageScan
{
    QStringList names;          // accepted, in the order found
    QStringList frameAddresses; // frames of the page, to be loaded and scanned by the caller
};

// The domain browser's reading of one page: frame tags give frame addresses, link lines go to
// the link rule (bold tags kept), other lines with a known extension to the text rule. Each
// accepted name is appended with a line break to *seenNames.
PageScan scanBrowserPage(const QString& html, QString* seenNames, const KnownExtensions& extensions,
                         const QStringList& excludedTexts = defaultExcludedLinkTexts());

// The lines of a text: a line ends at CR LF, a lone CR or a lone LF, and the text after the
// last line end is a last line (empty when the text ends with a line end).
QList<QStringView> splitLines(QStringView text);

} // namespace brisquel
