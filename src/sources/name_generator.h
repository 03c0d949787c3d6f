#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace brisquel {

// The extension boxes of the generator, in the order they are applied: ".COM" to ".COOP", then
// the custom extension.
inline constexpr int GeneratorExtensionCount = 9;
inline constexpr int CustomExtensionIndex = 8;
// ".COM", ".NET", ..., "Custom Extension:"
QString generatorExtensionCaption(int index);

struct GeneratorOptions
{
    QString baseWord;
    QStringList words; // the prefix/suffix words, as stored
    bool prefixes = true;
    bool suffixes = true;
    bool hyphens = true;
    QStringList extensions; // appended in this order, as given

    // The extensions of the checked boxes, in box order; the custom one lower-cased, as typed.
    static QStringList boxExtensions(const std::array<bool, GeneratorExtensionCount>& checked,
                                     const QString& customExtension);
};

// Every name the rule makes, in its order: for each word, word+base and word-base (prefixes,
// hyphens), then base+word and base-word (suffixes, hyphens), each followed by every checked
// extension. Spaces leave the combined names; a name made twice ("shop" + "shop" as prefix and as
// suffix) is kept where it came first.
QStringList generateNames(const GeneratorOptions& options);
// The names in their order, each once: where it came first.
QStringList withoutDoubles(const QStringList& names);

// Appends.txt: one prefix/suffix word a line; empty lines and lines of one blank are no words.
class AppendsFile
{
public:
    explicit AppendsFile(QString path);
    QString path() const { return m_path; }

    // Creates the file with the delivered starter words when it is missing; true when it did.
    bool ensureExists(QString* error = nullptr) const;
    QStringList words(QString* error = nullptr) const;
    // Adds a word as typed, as one line.
    bool add(const QString& word, QString* error = nullptr) const;
    // Removes every line equal to the word (case counts).
    bool remove(const QString& word, QString* error = nullptr) const;

private:
    QString m_path;
};

// CreatedDomains.txt: every name followed by an empty line, written whole.
bool writeCreatedDomains(const QString& path, const QStringList& names, QString* error = nullptr);

} // namespace brisquel
