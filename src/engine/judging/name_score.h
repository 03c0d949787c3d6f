#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <bitset>

class QSettings;

namespace brisquel {

// How much each visible part counts towards a name's score; the score is their weighted mean, so
// only the weights' proportions matter. Kept in settings.ini's [Score] section under these names.
struct ScoreWeights
{
    double length = 30;        // Length: shorter is better
    double clean = 20;         // Clean: no digits, no hyphens
    double words = 25;         // Words: made of dictionary words
    double pronounceable = 15; // Pronounceable: letter sequences that words have
    double held = 10;          // Held: other extensions already hold the label (the label is wanted)

    // The [Score] weights of `settings`, each missing or unreadable one at its default (above);
    // negative ones count as 0.
    static ScoreWeights fromSettings(QSettings& settings);
};

// A score from 0 to 100 for a name from what anyone can see in it: its length, its characters,
// whether it is made of words, whether it reads aloud, and how many extensions hold its label.
class NameScorer
{
public:
    // Each part from 0 (worst) to 1 (best).
    struct Parts
    {
        double length = 0;
        double clean = 0;
        double words = 0;
        double pronounceable = 0;
        double held = 0;
    };

    explicit NameScorer(const ScoreWeights& weights = {});
    // The scorer of a data folder: settings.ini's [Score] weights, the folder's word lists and
    // Appends.txt (the delivered ones where the folder has none).
    static NameScorer forDataFolder(const QString& root);

    // Dictionary words (the word lists and the user's Appends); they also train the letter model.
    void addWords(const QStringList& words);
    // Per label (lower case, without extension), how many extensions hold it, as the history knows.
    void setHeldCounts(QHash<QString, int> counts) { m_held = std::move(counts); }

    // `name` with or without its extension ("shopfast.com" or "shopfast").
    Parts parts(QStringView name) const;
    int score(QStringView name) const;
    int score(const Parts& parts) const;

private:
    static constexpr int Letters = 28; // a..z, the edge of the word, anything else
    double wordCover(QStringView label) const;
    double readability(QStringView label) const;

    ScoreWeights m_weights;
    QSet<quint64> m_words; // hashes of lower-case words, looked up without building strings
    std::bitset<Letters * Letters * Letters> m_trigrams;
    QHash<QString, int> m_held;
};

// The label of a name: its first part, lower case ("ShopFast.co.uk" gives "shopfast").
QStringView labelOf(QStringView name);

} // namespace brisquel
