#include "name_score.h"

#include "support/data_folder.h"

#include <QFile>
#include <QSettings>
#include <algorithm>
#include <array>

namespace brisquel {

namespace {

constexpr int Edge = 26;
constexpr int Other = 27;
// Longer than any word of the lists worth looking for inside a name.
constexpr int LongestWord = 24;
// From this many letters on a name scores nothing for its length; up to ShortName, everything.
constexpr int ShortName = 4;
constexpr int LongName = 16;

int letterIndex(QChar c)
{
    const char16_t u = c.unicode() | 0x20; // lower case for ASCII letters
    return u >= u'a' && u <= u'z' ? u - u'a' : Other;
}

// FNV-1a, fed a lower-case letter at a time, so a substring's hash grows with it.
constexpr quint64 HashStart = 1469598103934665603ull;
quint64 hashNext(quint64 hash, QChar c)
{
    return (hash ^ (c.unicode() | 0x20)) * 1099511628211ull;
}

int trigramIndex(int a, int b, int c)
{
    return (a * 28 + b) * 28 + c;
}

double weight(QSettings& settings, const char* key, double fallback)
{
    bool ok = false;
    const double value = settings.value(QLatin1String(key)).toDouble(&ok);
    return ok ? std::max(0.0, value) : fallback;
}

} // namespace

ScoreWeights ScoreWeights::fromSettings(QSettings& settings)
{
    ScoreWeights weights;
    settings.beginGroup(QStringLiteral("Score"));
    weights.length = weight(settings, "Length", weights.length);
    weights.clean = weight(settings, "Clean", weights.clean);
    weights.words = weight(settings, "Words", weights.words);
    weights.pronounceable = weight(settings, "Pronounceable", weights.pronounceable);
    weights.held = weight(settings, "Held", weights.held);
    settings.endGroup();
    return weights;
}

QStringView labelOf(QStringView name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

NameScorer::NameScorer(const ScoreWeights& weights)
    : m_weights(weights)
{}

NameScorer NameScorer::forDataFolder(const QString& root)
{
    const DataFolder folder(root);
    NameScorer scorer;
    if (!root.isEmpty()) {
        QSettings settings(folder.settingsPath(), QSettings::IniFormat);
        scorer.m_weights = ScoreWeights::fromSettings(settings);
    }
    for (const char* file : {"wordlists/FullWordList.txt", "Appends.txt"}) {
        QFile own(root.isEmpty() ? QString() : folder.path(QLatin1String(file)));
        QFile delivered(QStringLiteral(":/data/") + QLatin1String(file));
        QFile& source = own.exists() ? own : delivered;
        if (source.open(QIODevice::ReadOnly))
            scorer.addWords(QString::fromUtf8(source.readAll()).split(QLatin1Char('\n')));
    }
    return scorer;
}

void NameScorer::addWords(const QStringList& words)
{
    for (const QString& word : words) {
        const QString trimmed = word.trimmed();
        if (trimmed.isEmpty() || trimmed.size() > LongestWord)
            continue;
        quint64 hash = HashStart;
        int a = Edge;
        int b = Edge;
        for (const QChar c : trimmed) {
            hash = hashNext(hash, c);
            const int next = letterIndex(c);
            m_trigrams.set(trigramIndex(a, b, next));
            a = b;
            b = next;
        }
        m_trigrams.set(trigramIndex(a, b, Edge));
        m_words.insert(hash);
    }
}

// The share of the label covered by dictionary words, laid end to end in as few as cover most;
// each word beyond the first costs a little, since "shopfast" reads better than "shopfastnowhere".
double NameScorer::wordCover(QStringView label) const
{
    const qsizetype n = label.size();
    if (n == 0 || n > 64)
        return 0;
    // best[i]: most letters of label[0, i) in words, then fewest words.
    std::array<std::pair<int, int>, 65> best{};
    for (qsizetype i = 0; i < n; ++i) {
        // label[i] left out of any word.
        best[i + 1] = std::max(best[i + 1], {best[i].first, best[i].second});
        quint64 hash = HashStart;
        for (qsizetype j = i; j < n && j - i < LongestWord; ++j) {
            hash = hashNext(hash, label.at(j));
            // One-letter words ("a", "i") glue too easily to count.
            if (j == i || !m_words.contains(hash))
                continue;
            const std::pair<int, int> with{best[i].first + int(j - i + 1), best[i].second - 1};
            best[j + 1] = std::max(best[j + 1], with);
        }
    }
    const double covered = double(best[n].first) / double(n);
    const int words = -best[n].second;
    return covered * (words <= 1 ? 1.0 : std::max(0.6, 1.0 - 0.1 * (words - 1)));
}

// The share of the label's letter triples, the word's edges included, that dictionary words have.
double NameScorer::readability(QStringView label) const
{
    int seen = 0;
    int all = 0;
    int a = Edge;
    int b = Edge;
    const auto count = [&](int next) {
        seen += m_trigrams.test(trigramIndex(a, b, next)) ? 1 : 0;
        ++all;
        a = b;
        b = next;
    };
    for (const QChar c : label) {
        if (c.isLetter())
            count(letterIndex(c));
        else // a digit or hyphen starts the reading again
            a = b = Edge;
    }
    count(Edge);
    return all == 0 ? 0 : double(seen) / double(all);
}

NameScorer::Parts NameScorer::parts(QStringView name) const
{
    const QStringView label = labelOf(name.trimmed());
    Parts parts;
    const double size = double(label.size());
    parts.length = std::clamp((LongName - size) / double(LongName - ShortName), 0.0, 1.0);
    const bool digits = std::any_of(label.begin(), label.end(), [](QChar c) { return c.isDigit(); });
    const bool hyphens = label.contains(QLatin1Char('-'));
    parts.clean = 1.0 - (digits ? 0.5 : 0.0) - (hyphens ? 0.5 : 0.0);
    parts.words = wordCover(label);
    parts.pronounceable = readability(label);
    if (!m_held.isEmpty()) {
        const int held = m_held.value(label.toString().toLower());
        parts.held = std::min(1.0, held / 4.0);
    }
    return parts;
}

int NameScorer::score(const Parts& parts) const
{
    const ScoreWeights& w = m_weights;
    const double total = w.length + w.clean + w.words + w.pronounceable + w.held;
    if (total <= 0)
        return 0;
    const double sum = w.length * parts.length + w.clean * parts.clean + w.words * parts.words +
                       w.pronounceable * parts.pronounceable + w.held * parts.held;
    return int(std::lround(100.0 * sum / total));
}

int NameScorer::score(QStringView name) const
{
    return score(parts(name));
}

} // namespace brisquel
