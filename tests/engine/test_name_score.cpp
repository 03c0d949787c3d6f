// The shortlist's score: each visible part on named examples, and that the order of names follows
// the parts.
#include "engine/judging/name_score.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

const QStringList Words = {QStringLiteral("shop"),  QStringLiteral("fast"),   QStringLiteral("cloud"),
                           QStringLiteral("river"), QStringLiteral("stone"),  QStringLiteral("garden"),
                           QStringLiteral("light"), QStringLiteral("market"), QStringLiteral("a")};

NameScorer scorer(const ScoreWeights& weights = {})
{
    NameScorer made(weights);
    made.addWords(Words);
    return made;
}

} // namespace

class TestNameScore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parts()
    {
        const NameScorer s = scorer();
        // Length: up to four letters is best, sixteen and more is nothing.
        QCOMPARE(s.parts(u"shop.com").length, 1.0);
        QCOMPARE(s.parts(u"abcdefghijklmnop.com").length, 0.0);
        QVERIFY(s.parts(u"shopfast.com").length > s.parts(u"shopfastmarket.com").length);
        // Clean: a digit or a hyphen costs half each.
        QCOMPARE(s.parts(u"shopfast").clean, 1.0);
        QCOMPARE(s.parts(u"shop4fast").clean, 0.5);
        QCOMPARE(s.parts(u"shop-4-fast").clean, 0.0);
        // Words: wholly made of words, fewer words better; letters outside words lower the share.
        QCOMPARE(s.parts(u"cloud.net").words, 1.0);
        QCOMPARE(s.parts(u"shopfast.net").words, 0.9);
        QCOMPARE(s.parts(u"shopxx").words, 4.0 / 6.0);
        QCOMPARE(s.parts(u"qzx").words, 0.0);
        // "a" is a word, but one letter glues anywhere: it covers nothing.
        QCOMPARE(s.parts(u"ashop").words, 0.8);
        // Pronounceable: letter triples the words have, the edges counted.
        QCOMPARE(s.parts(u"stone").pronounceable, 1.0);
        QVERIFY(s.parts(u"stoden").pronounceable > s.parts(u"xqzvtk").pronounceable);
        QCOMPARE(s.parts(u"xqzvtk").pronounceable, 0.0);
        // Held: unknown without a history; four extensions holding the label is the most.
        QCOMPARE(s.parts(u"river.io").held, 0.0);
        NameScorer held = scorer();
        held.setHeldCounts({{QStringLiteral("river"), 2}, {QStringLiteral("stone"), 9}});
        QCOMPARE(held.parts(u"River.io").held, 0.5);
        QCOMPARE(held.parts(u"stone.io").held, 1.0);
    }

    void orderFollowsTheParts()
    {
        const NameScorer s = scorer();
        const QStringList best = {QStringLiteral("shop.com"),        QStringLiteral("shopfast.com"),
                                  QStringLiteral("gardenlight.com"), QStringLiteral("shop-fast.com"),
                                  QStringLiteral("shop4fast2.com"),  QStringLiteral("xqzvtkwplmrb.com")};
        for (qsizetype i = 1; i < best.size(); ++i)
            QVERIFY2(s.score(best.at(i - 1)) > s.score(best.at(i)), qPrintable(best.at(i)));
        QVERIFY(s.score(u"shop.com") <= 100);
        QVERIFY(s.score(u"xqzvtkwplmrb-9.com") >= 0);
    }

    // Only the weights' proportions matter; a part weighted 0 is left out; settings.ini's
    // [Score] section sets them, an unreadable value keeps its default.
    void weights()
    {
        ScoreWeights onlyLength{1, 0, 0, 0, 0};
        QCOMPARE(scorer(onlyLength).score(u"qz-9"), 100);
        QCOMPARE(scorer({2, 0, 0, 0, 2}).score(u"qzqz"), 50);
        QCOMPARE(scorer({0, 0, 0, 0, 0}).score(u"shop"), 0);

        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Score/Length"), 5);
        settings.setValue(QStringLiteral("Score/Words"), QStringLiteral("many"));
        settings.setValue(QStringLiteral("Score/Held"), -3);
        const ScoreWeights read = ScoreWeights::fromSettings(settings);
        QCOMPARE(read.length, 5.0);
        QCOMPARE(read.words, ScoreWeights().words);
        QCOMPARE(read.held, 0.0);
        QCOMPARE(read.clean, ScoreWeights().clean);
    }

    // A data folder without lists of its own scores with the delivered ones.
    void deliveredWords()
    {
        QTemporaryDir dir;
        const NameScorer s = NameScorer::forDataFolder(dir.path());
        QCOMPARE(s.parts(u"gardenstone.com").words, 0.9);
        QVERIFY(s.parts(u"gardenstone.com").pronounceable > 0.9);
    }
};

QTEST_GUILESS_MAIN(TestNameScore)
#include "test_name_score.moc"
