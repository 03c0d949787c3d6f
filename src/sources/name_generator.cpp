#include "name_generator.h"

#include "support/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace brisquel {

namespace {

const char* const ExtensionCaptions[GeneratorExtensionCount] = {
    ".COM", ".NET", ".ORG", ".BIZ", ".INFO", ".NAME", ".AERO", ".COOP", "Custom Extension:"};

bool isWord(const QString& line)
{
    return !line.isEmpty() && line != QLatin1String(" ");
}

QString withoutSpaces(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

} // namespace

QString generatorExtensionCaption(int index)
{
    return index >= 0 && index < GeneratorExtensionCount ? QString::fromLatin1(ExtensionCaptions[index])
                                                         : QString();
}

QStringList GeneratorOptions::boxExtensions(const std::array<bool, GeneratorExtensionCount>& checked,
                                            const QString& customExtension)
{
    QStringList extensions;
    for (int i = 0; i < GeneratorExtensionCount; ++i) {
        if (checked[size_t(i)])
            extensions << (i == CustomExtensionIndex ? customExtension.toLower()
                                                     : generatorExtensionCaption(i).toLower());
    }
    return extensions;
}

QStringList generateNames(const GeneratorOptions& options)
{
    const QStringList& extensions = options.extensions;
    QStringList names;
    const qsizetype forms = (options.prefixes ? 1 : 0) + (options.suffixes ? 1 : 0);
    names.reserve(options.words.size() * forms * (options.hyphens ? 2 : 1) * extensions.size());
    auto apply = [&](const QString& name) {
        for (const QString& extension : extensions)
            names.append(name + extension);
    };
    const QString base = withoutSpaces(options.baseWord);
    for (const QString& stored : options.words) {
        if (!isWord(stored))
            continue;
        const QString word = withoutSpaces(stored);
        if (options.prefixes) {
            apply(word + base);
            if (options.hyphens)
                apply(word + QLatin1Char('-') + base);
        }
        if (options.suffixes) {
            apply(base + word);
            if (options.hyphens)
                apply(base + QLatin1Char('-') + word);
        }
    }
    return withoutDoubles(names);
}

QStringList withoutDoubles(const QStringList& names)
{
    QStringList kept;
    kept.reserve(names.size());
    QSet<QString> seen;
    seen.reserve(names.size());
    for (const QString& name : names) {
        if (!seen.contains(name)) {
            seen.insert(name);
            kept.append(name);
        }
    }
    return kept;
}

AppendsFile::AppendsFile(QString path)
    : m_path(std::move(path))
{}

bool AppendsFile::ensureExists(QString* error) const
{
    if (QFileInfo::exists(m_path))
        return false;
    QFile starter(QStringLiteral(":/data/Appends.txt"));
    const QByteArray words = starter.open(QIODevice::ReadOnly) ? starter.readAll() : QByteArray();
    TextFile::writeText(m_path, words, error);
    return true;
}

QStringList AppendsFile::words(QString* error) const
{
    QStringList lines;
    TextFile::readLines(m_path, &lines, error);
    QStringList words;
    for (const QString& line : std::as_const(lines)) {
        if (isWord(line))
            words.append(line);
    }
    return words;
}

bool AppendsFile::add(const QString& word, QString* error) const
{
    return TextFile::appendLines(m_path, {word}, error);
}

bool AppendsFile::remove(const QString& word, QString* error) const
{
    QStringList lines;
    if (!TextFile::readLines(m_path, &lines, error))
        return false;
    QStringList kept;
    for (const QString& line : std::as_const(lines)) {
        if (line != word)
            kept.append(line);
    }
    // The blank lines that the removed words leave between others go with them.
    while (!kept.isEmpty() && kept.constLast().isEmpty())
        kept.removeLast();
    return TextFile::writeLines(m_path, kept, error);
}

bool writeCreatedDomains(const QString& path, const QStringList& names, QString* error)
{
    QStringList lines;
    lines.reserve(names.size() * 2);
    for (const QString& name : names)
        lines << name << QString();
    return TextFile::writeLines(path, lines, error);
}

} // namespace brisquel
