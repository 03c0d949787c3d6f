#include "sources/name_generator.h"
#include "support/text_file.h"

#include <QTemporaryDir>
#include <QTest>

using namespace brisquel;

namespace {

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestNameGenerator : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void generatesInOrder_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("forms"); // p, s, h
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("two words, every form, two extensions")
            << "shop" << split("my e") << "psh" << split(".com .net")
            << split("myshop.com myshop.net my-shop.com my-shop.net shopmy.com shopmy.net shop-my.com "
                     "shop-my.net eshop.com eshop.net e-shop.com e-shop.net shope.com shope.net shop-e.com "
                     "shop-e.net");
        QTest::newRow("spaces leave the names, not the custom extension")
            << "big shop" << QStringList{QStringLiteral("my best")} << "p"
            << QStringList{QStringLiteral(" co .uk")} << QStringList{QStringLiteral("mybestbigshop co .uk")};
        QTest::newRow("empty base word")
            << "" << split("my") << "psh" << split(".com") << split("my.com my-.com -my.com");
        QTest::newRow("a word twice makes its names once")
            << "a" << split("x x") << "s" << split(".com") << split("ax.com");
        QTest::newRow("the base word as a word: prefix and suffix are one name, kept where first")
            << "shop" << split("shop my") << "ps" << split(".com")
            << split("shopshop.com myshop.com shopmy.com");
        QTest::newRow("hyphens alone make nothing")
            << "a" << split("x") << "h" << split(".com") << QStringList();
        QTest::newRow("blank words are no words")
            << "a" << QStringList{QString(), QStringLiteral(" "), QStringLiteral("x")} << "s" << split(".com")
            << split("ax.com");
    }

    void generatesInOrder()
    {
        QFETCH(QString, base);
        QFETCH(QStringList, words);
        QFETCH(QString, forms);
        QFETCH(QStringList, extensions);
        QFETCH(QStringList, names);
        GeneratorOptions options;
        options.baseWord = base;
        options.words = words;
        options.prefixes = forms.contains(QLatin1Char('p'));
        options.suffixes = forms.contains(QLatin1Char('s'));
        options.hyphens = forms.contains(QLatin1Char('h'));
        options.extensions = extensions;
        QCOMPARE(generateNames(options), names);
    }

    void everyBoxCounts()
    {
        GeneratorOptions options;
        options.baseWord = QStringLiteral("shop");
        options.words = split("my e get");
        std::array<bool, GeneratorExtensionCount> all{};
        all.fill(true);
        options.extensions = GeneratorOptions::boxExtensions(all, QStringLiteral("CO.UK"));
        QCOMPARE(options.extensions.last(), QStringLiteral("co.uk"));
        QCOMPARE(generateNames(options).size(), 3 * 4 * 9);
    }

    void wordFileAndCreatedDomains()
    {
        QTemporaryDir dir;
        AppendsFile appends(dir.filePath(QStringLiteral("Appends.txt")));
        QVERIFY(appends.ensureExists());
        QVERIFY(appends.words().contains(QStringLiteral("my")));
        QVERIFY(TextFile::writeText(appends.path(), "my\r\nthe\r\nmy\r\n \r\nget"));
        QVERIFY(appends.add(QStringLiteral("go")));
        QCOMPARE(appends.words(), split("my the my get go"));
        // A word stored twice leaves the file twice.
        QVERIFY(appends.remove(QStringLiteral("my")));
        QCOMPARE(appends.words(), split("the get go"));

        const QString created = dir.filePath(QStringLiteral("CreatedDomains.txt"));
        QVERIFY(writeCreatedDomains(created, split("a.com b.com")));
        QFile file(created);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a.com\r\n\r\nb.com\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestNameGenerator)
#include "test_name_generator.moc"
