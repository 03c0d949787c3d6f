#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Straight transcriptions of the text rules, one whole-text replace after the other, with
// 1-based positions as the rules state them. Slow on purpose; the tests compare the real
// functions with these.
namespace reference {

QString correctName(const QString& name);
QString urlDecode(const QString& text);
QString breakAfterExtensions(const QString& text, const QStringList& extensions);
bool hasKnownExtension(const QString& text, const QStringList& extensions);
int extensionEndPos(const QString& text, const QStringList& extensions);
QString registrableDomain(const QString& host);
QString preparePageText(const QString& html, const QStringList& extensions);
bool passesLinkLineTest(const QString& line, const QStringList& extensions, const QStringList& excluded);
std::optional<QString> linkCandidate(const QString& line, const QString& foundSoFar, bool stripBold,
                                     const QStringList& extensions, const QStringList& excluded);
std::optional<QString> textCandidate(const QString& line, const QString& seenNames,
                                     const QStringList& extensions);

// The page readers as the windows run them: the prepared text is written to the work file
// "SearchOutput.txt" in workFolder and read back line by line.
QStringList extractHarvestNames(const QString& html, QString* harvestText, const QStringList& extensions,
                                const QStringList& excluded, const QString& workFolder);
struct PageScan
{
    QStringList names;
    QStringList frameAddresses;
};
PageScan scanBrowserPage(const QString& html, QString* seenNames, const QStringList& extensions,
                         const QStringList& excluded, const QString& workFolder);

} // namespace reference
