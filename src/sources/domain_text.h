#pragma once

#include "sources/known_extensions.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace brisquel {

// The rules that turn web text and typed names into candidate domain names. All positions are
// 1-based; "contains" is a plain substring test. Every function is linear in its input.

// Removes punctuation and markup from the part before the first dot; the part from the first
// dot on is kept, except that every "?" goes.
QString correctName(const QString& name);

// Decodes the percent-escapes of characters that are unsafe in addresses ("%25" until none is
// left, then the others); other escapes and "+" stay.
QString urlDecode(const QString& text);

// Inserts a line break after every extension (matched without its dot, exactly) that is
// followed by a space, "/", a double quote, "'", ":" or "?", once per matching row.
QString breakAfterExtensions(const QString& text, const KnownExtensions& extensions);

// True if the text holds "." followed by a known extension, compared case-insensitively.
bool hasKnownExtension(const QString& text, const KnownExtensions& extensions);

// The position just past the first known extension in table order that follows a "." in the
// text, or 0.
int extensionEndPos(const QString& text, const KnownExtensions& extensions);

// The labels of a host name that are registered ("www.example.co.uk" -> "example.co.uk"); the
// text unchanged when it has fewer than two dots; empty for hosts the rule cannot reduce.
QString registrableDomain(const QString& host);

// Rearranges the HTML of a page so that each link address and each frame tag starts a line
// and each host name ends one.
QString preparePageText(const QString& html, const KnownExtensions& extensions);

// The hosts whose links never give a candidate: the search engine's own site and image host,
// and a domain marketplace.
QStringList defaultExcludedLinkTexts();

// Whether a prepared, decoded line is a link worth reading: it starts with "http://", names no
// excluded host, holds no e-mail address and has a known extension.
bool passesLinkLineTest(const QString& line, const KnownExtensions& extensions,
                        const QStringList& excludedTexts);

// The duplicate test of the candidate rules: true when the name occurs anywhere in the text of
// the names found so far, compared case-insensitively. Page readers answer it from an index.
using FoundNameTest = std::function<bool(const QString& name)>;

// The duplicate test as a plain search of the text of the names found so far.
FoundNameTest foundIn(const QString& foundSoFar);

// The candidate domain name of a link line, if it is new to foundSoFar (the names found so
// far, each followed by a line break). stripBold removes the first "<b>" and "<B>" first.
std::optional<QString> linkCandidate(const QString& line, const QString& foundSoFar, bool stripBold,
                                     const KnownExtensions& extensions,
                                     const QStringList& excludedTexts = defaultExcludedLinkTexts());
std::optional<QString> linkCandidate(const QString& line, const FoundNameTest& isFound, bool stripBold,
                                     const KnownExtensions& extensions,
                                     const QStringList& excludedTexts = defaultExcludedLinkTexts());

// The last steps that the link and the text rule share: reduce the text to its registrable
// domain and clean it, then accept it only if it is new (the test gets the name without its
// leading and trailing spaces) and free of markup.
// The steps the link and text rules share once they have a host text: cut it at its first blank
// (kept) and first "/", drop a leading label, and return the extension part (after the first
// ".", or after the first "=" when there is one).
QString cutHostText(QString* text);

std::optional<QString> finishCandidate(const QString& text, const FoundNameTest& isFound,
                                       bool refuseTargetBlank);

// The text with its leading and trailing spaces (U+0020 only) removed.
QString trimSpaces(const QString& text);

} // namespace brisquel
