#include "reference_text_rules.h"
#include "sources/domain_text.h"
#include "sources/known_extensions.h"
#include "sources/text_candidate.h"
#include "text_rules_fixtures.h"

#include <QRandomGenerator>
#include <QTest>

using namespace brisquel;
using fixtures::none;
using fixtures::orNone;

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString u(const char16_t* text)
{
    return QString::fromUtf16(text);
}

QStringList list(const char* words)
{
    return QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString printable(const QString& text)
{
    QString shown;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            shown.append(c);
        else
            shown.append(QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0')));
    }
    return shown;
}

} // namespace

class TestDomainText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void correctName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty stays empty") << QString() << QString();
        QTest::newRow("no dot is all head") << u(u"ab") << u(u"ab");
        QTest::newRow("search operator goes") << u(u"site:Best-Shop") << u(u"Best-Shop");
        QTest::newRow("related operator goes") << u(u"related:shop.com") << u(u"shop.com");
        QTest::newRow("space and bang leave the head") << u(u"my shop!.com") << u(u"myshop.com");
        QTest::newRow("only the head is cleaned") << u(u"www.example.com") << u(u"www.example.com");
        QTest::newRow("underscore and trailing question mark") << u(u"a_b.com?") << u(u"ab.com");
        QTest::newRow("case is kept") << u(u"Shop.COM") << u(u"Shop.COM");
        QTest::newRow("tail keeps its dots") << u(u"x.y.z") << u(u"x.y.z");
        QTest::newRow("tail keeps punctuation but not question marks") << u(u"a.b c!?d?") << u(u"a.b c!d");
        QTest::newRow("entity goes") << u(u"&nbsp;shop.com") << u(u"shop.com");
        QTest::newRow("entity rebuilt by its own removal goes later")
            << u(u"&nb&nbsp;sp;x.com") << u(u"x.com");
        QTest::newRow("closing bold tag leaves its letter") << u(u"<b>shop</b>.com") << u(u"shopb.com");
        QTest::newRow("typographic marks go")
            << u(u"\u00ABa\u00AFb \u00BA\u00B8c\u00B4.com") << u(u"abc.com");
        QTest::newRow("other guillemet stays") << u(u"a\u00BB.com") << u(u"a\u00BB.com");
        QTest::newRow("hyphen and digits stay") << u(u"my-shop24.com") << u(u"my-shop24.com");
        QTest::newRow("every listed character goes")
            << u(u"a /%!~#'\"$^&*()=\\|+`?><,;:_b.com") << u(u"ab.com");
    }
    void correctName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(brisquel::correctName(name), expected);
    }

    void urlDecode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("double-escaped slash") << u(u"%252F") << u(u"/");
        QTest::newRow("double-escaped space") << u(u"%2520") << u(u" ");
        QTest::newRow("escaped percent repeated until none is left") << u(u"%25252525") << u(u"%");
        QTest::newRow("plus stays") << u(u"a+b") << u(u"a+b");
        QTest::newRow("lower-case escape") << u(u"%3c%3E") << u(u"<>");
        QTest::newRow("escapes outside the table stay") << u(u"%2C%22%27%2B") << u(u"%2C%22%27%2B");
        QTest::newRow("line ends") << u(u"a%0Ab%0dc") << u(u"a\nb\rc");
        QTest::newRow("lone percent stays") << u(u"100%") << u(u"100%");
        QTest::newRow("escape cut off at the end") << u(u"x%2") << u(u"x%2");
        QTest::newRow("decoded percent does not start a new escape") << u(u"%2541") << u(u"%41");
        QTest::newRow("whole table") << u(u"%20%3C%3E%23%7B%7D%7C%5C%5E%7E%5B%5D%60%3B%2F%3F%3A%40%3D%26%24")
                                     << u(u" <>#{}|\\^~[]`;/?:@=&$");
    }
    void urlDecode()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(brisquel::urlDecode(text), expected);
    }

    void breakAfterExtensions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no extension enabled") << u(u"a.com b") << QStringList() << u(u"a.com b");
        QTest::newRow("break after space") << u(u"a.com b") << list("com") << u(u"a.com \r\nb");
        QTest::newRow("every delimiter") << u(u"com/com\"com'com:com?com ") << list("com")
                                         << u(u"com/\r\ncom\"\r\ncom'\r\ncom:\r\ncom?\r\ncom \r\n");
        QTest::newRow("word merely ending in the letters")
            << u(u"telecom home") << list("com") << u(u"telecom \r\nhome");
        QTest::newRow("other characters do not break")
            << u(u"a.com.b.com<c.com=") << list("com") << u(u"a.com.b.com<c.com=");
        QTest::newRow("exact case only") << u(u"a.COM b") << list("com") << u(u"a.COM b");
        QTest::newRow("one break per matching row")
            << u(u"a.mil b") << list("mil il") << u(u"a.mil \r\n\r\nb");
        QTest::newRow("duplicate row breaks twice")
            << u(u"a.cn/") << list("cn net cn") << u(u"a.cn/\r\n\r\n");
        QTest::newRow("row holding a delimiter")
            << u(u"o/ o//") << QStringList{u(u"o/")} << u(u"o/ \r\no//\r\n");
    }
    void breakAfterExtensions()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, extensions);
        QFETCH(QString, expected);
        QCOMPARE(brisquel::breakAfterExtensions(text, KnownExtensions(extensions)), expected);
    }

    void extensionSearch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("endPos");
        const QStringList defaults = fixtures::defaultExtensions();
        QTest::newRow("upper-case text") << u(u"EXAMPLE.COM") << defaults << true << 12;
        QTest::newRow("upper-case row") << u(u"example.com") << list("COM") << true << 12;
        QTest::newRow("end past the end of the text") << u(u"a.com") << defaults << true << 6;
        QTest::newRow("extension inside a word") << u(u".company") << defaults << true << 5;
        QTest::newRow("extension before a path") << u(u"x.com/index") << defaults << true << 6;
        QTest::newRow("first occurrence counts") << u(u"a.com b.com") << defaults << true << 6;
        QTest::newRow("table order decides, not the text")
            << u(u"x.net y.com") << list("com net") << true << 12;
        QTest::newRow("disabled extension") << u(u"example.org") << defaults << false << 0;
        QTest::newRow("letters without a dot") << u(u"com net") << defaults << false << 0;
        QTest::newRow("no extension enabled") << u(u"a.com") << QStringList() << false << 0;
        QTest::newRow("extension holding a dot") << u(u"a.co.uk") << list("co.uk") << true << 8;
        QTest::newRow("long s folds to s") << u(u"a.\u017Fe") << list("se") << true << 5;
        QTest::newRow("empty row matches any dot") << u(u"a.b") << QStringList{QString()} << true << 3;
    }
    void extensionSearch()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, extensions);
        QFETCH(bool, known);
        QFETCH(int, endPos);
        const KnownExtensions known_(extensions);
        QCOMPARE(hasKnownExtension(text, known_), known);
        QCOMPARE(extensionEndPos(text, known_), endPos);
    }

    void registrableDomain_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no dot unchanged") << u(u"localhost") << u(u"localhost");
        QTest::newRow("one dot unchanged") << u(u"example.com") << u(u"example.com");
        QTest::newRow("one dot under any extension") << u(u"example.zz") << u(u"example.zz");
        QTest::newRow("www under com") << u(u"www.example.com") << u(u"example.com");
        QTest::newRow("deep host under org") << u(u"a.b.example.org") << u(u"example.org");
        QTest::newRow("every generic extension") << u(u"x.y.aero") << u(u"y.aero");
        QTest::newRow("us keeps two labels") << u(u"www.example.us") << u(u"example.us");
        QTest::newRow("co keeps three labels") << u(u"www.example.co.uk") << u(u"example.co.uk");
        QTest::newRow("co under any country") << u(u"shop.example.co.jp") << u(u"example.co.jp");
        QTest::newRow("net is not reduced") << u(u"www.example.net") << QString();
        QTest::newRow("comparison is exact") << u(u"www.example.COM") << QString();
        QTest::newRow("trailing dot") << u(u"example.com.") << QString();
        QTest::newRow("leading dot") << u(u".com") << u(u".com");
        QTest::newRow("only dots") << u(u"..") << QString();
        QTest::newRow("co with nothing before it") << u(u".co.uk") << u(u".co.uk");
    }
    void registrableDomain()
    {
        QFETCH(QString, host);
        QFETCH(QString, expected);
        QCOMPARE(brisquel::registrableDomain(host), expected);
    }

    void preparePageText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("attribute without scheme")
            << u(u"href=www.example.com") << u(u"href\r\nhttp://www.example.com");
        QTest::newRow("link text without scheme")
            << u(u"<a>WWW.x.com</a>") << u(u"<a\r\nhttp://www.x.com</a>");
        QTest::newRow("scheme written in lower case") << u(u"HTTP://A.COM") << u(u"\r\nhttp://A.COM");
        QTest::newRow("secure scheme is not split") << u(u"https://a.com/") << u(u"https://a.com/\r\n");
        QTest::newRow("frame tag starts a line") << u(u"<FRAME src=\"x\">") << u(u"\r\n<Frame src=\"x\">");
        QTest::newRow("host ends its line") << u(u"<a href=\"http://www.example.com/page\">")
                                            << u(u"<a href=\"\r\nhttp://www.example.com/\r\npage\">");
        QTest::newRow("two links") << u(u"http://a.net/ http://b.net/")
                                   << u(u"\r\nhttp://a.net/\r\n \r\nhttp://b.net/\r\n");
    }
    void preparePageText()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(brisquel::preparePageText(html, KnownExtensions(fixtures::defaultExtensions())), expected);
    }

    void linkCandidate_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("found");
        QTest::addColumn<bool>("stripBold");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("expected");
        const QStringList defaults = fixtures::defaultExtensions();
        QTest::newRow("path dropped")
            << u(u"http://www.example.com/index.html") << QString() << true << defaults << u(u"example.com");
        QTest::newRow("port keeps its colon")
            << u(u"http://www.example.com:8080/") << QString() << true << defaults << u(u"example.com:");
        QTest::newRow("leading label dropped")
            << u(u"http://shop.example.net/") << QString() << false << list("com net") << u(u"example.net");
        QTest::newRow("three labels under net")
            << u(u"http://a.b.example.net/") << QString() << false << list("com net") << none();
        QTest::newRow("marketplace excluded")
            << u(u"http://www.SEDO.com/search") << QString() << true << defaults << none();
        QTest::newRow("search site excluded")
            << u(u"http://search.yahoo.com/r") << QString() << true << defaults << none();
        QTest::newRow("image host excluded")
            << u(u"http://us.yimg.com/i/a.gif") << QString() << true << defaults << none();
        QTest::newRow("e-mail address")
            << u(u"http://me@example.com") << QString() << true << defaults << none();
        QTest::newRow("scheme must be lower case")
            << u(u"HTTP://www.example.com/") << QString() << true << defaults << none();
        QTest::newRow("scheme must start the line")
            << u(u" http://www.example.com/") << QString() << true << defaults << none();
        QTest::newRow("no known extension")
            << u(u"http://www.example.org/") << QString() << true << defaults << none();
        QTest::newRow("duplicate in another case")
            << u(u"http://www.EXAMPLE.com/") << u(u"example.com\r\n") << true << defaults << none();
        QTest::newRow("part of an earlier name")
            << u(u"http://www.example.com/") << u(u"myexample.com\r\n") << true << defaults << none();
        QTest::newRow("longer than an earlier name")
            << u(u"http://www.myexample.com/") << u(u"example.com\r\n") << true << defaults
            << u(u"myexample.com");
        QTest::newRow("trailing space kept")
            << u(u"http://www.example.com more") << QString() << true << defaults << u(u"example.com ");
        QTest::newRow("trailing space counts in the length")
            << u(u"http://example.com more") << QString() << true << defaults << none();
        QTest::newRow("trailing space ignored by the duplicate test")
            << u(u"http://www.example.com more") << u(u"example.com\r\n") << true << defaults << none();
        QTest::newRow("equals sign sets the extension part")
            << u(u"http://www.example.com?q=x") << QString() << true << defaults << none();
        QTest::newRow("upper-case bold stripped")
            << u(u"http://<B>shop.com") << QString() << true << defaults << u(u"shop.com");
        QTest::newRow("upper-case bold kept by the browser")
            << u(u"http://<B>shop.com") << QString() << false << defaults << u(u"Bshop.com");
        QTest::newRow("markup left in the tail")
            << u(u"http://www.<b>shop.com</b>") << QString() << false << defaults << none();
        QTest::newRow("target blank refused")
            << u(u"http://www.site.comtargetblank.com") << QString() << true << defaults << none();
        QTest::newRow("co host keeps three labels")
            << u(u"http://www.shop.co.uk/") << QString() << true << list("uk") << u(u"shop.co.uk");
    }
    void linkCandidate()
    {
        QFETCH(QString, line);
        QFETCH(QString, found);
        QFETCH(bool, stripBold);
        QFETCH(QStringList, extensions);
        QFETCH(QString, expected);
        QCOMPARE(orNone(brisquel::linkCandidate(line, found, stripBold, KnownExtensions(extensions))),
                 expected);
    }

    void excludedTextsAreTheCallersChoice()
    {
        const KnownExtensions known(fixtures::defaultExtensions());
        const QString line = u(u"http://www.sedo.com/");
        QVERIFY(!passesLinkLineTest(line, known, defaultExcludedLinkTexts()));
        QVERIFY(passesLinkLineTest(line, known, {}));
        QCOMPARE(orNone(brisquel::linkCandidate(line, QString(), true, known, {u(u"EXAMPLE")})),
                 u(u"sedo.com"));
        QCOMPARE(orNone(brisquel::linkCandidate(u(u"http://www.example.com/"), QString(), true, known,
                                                {u(u"EXAMPLE")})),
                 none());
    }

    void textCandidate_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<QStringList>("extensions");
        QTest::addColumn<QString>("expected");
        const QStringList defaults = fixtures::defaultExtensions();
        QTest::newRow("name inside text")
            << u(u"Great names: example.com and more") << QString() << defaults << u(u"example.com");
        QTest::newRow("name at the line start")
            << u(u"example.com is free") << QString() << defaults << u(u"example.com");
        QTest::newRow("window clamped at the line start")
            << u(u"a.us") << QString() << list("us") << u(u"a.us");
        QTest::newRow("quote stops the widening")
            << u(u"href='shop.com'") << QString() << defaults << u(u"shop.com");
        QTest::newRow("e-mail address gives its domain")
            << u(u"contact: info@example.com") << QString() << defaults << u(u"example.com");
        QTest::newRow("text after a colon")
            << u(u"mail:example.com") << QString() << defaults << u(u"example.com");
        QTest::newRow("excluded link read as text")
            << u(u"http://www.sedo.com/x") << QString() << defaults << u(u"sedo.com");
        QTest::newRow("leading label dropped before reduction")
            << u(u"see www.example.net!") << QString() << list("net") << u(u"example.net");
        QTest::newRow("three labels under net")
            << u(u"see a.b.example.net!") << QString() << list("net") << none();
        QTest::newRow("target blank allowed")
            << u(u"see comtargetblank.com") << QString() << defaults << u(u"comtargetblank.com");
        QTest::newRow("duplicate refused")
            << u(u"example.com is free") << u(u"myexample.com\r\n") << defaults << none();
        QTest::newRow("name before a four-letter extension is cut off")
            << u(u"kidsplay.name") << QString() << defaults << none();
        QTest::newRow("no known extension") << u(u"nothing here.org") << QString() << defaults << none();
        QTest::newRow("first extension in table order")
            << u(u"a.net and b.com") << QString() << list("com net") << u(u"b.com");
    }
    void textCandidate()
    {
        QFETCH(QString, line);
        QFETCH(QString, seen);
        QFETCH(QStringList, extensions);
        QFETCH(QString, expected);
        QCOMPARE(orNone(brisquel::textCandidate(line, seen, KnownExtensions(extensions))), expected);
    }

    // The single-pass functions against straight transcriptions of the rules, on texts made of
    // the pieces the rules react to, with usual and unusual extension rows.
    void randomTextsMatchTheRules_data()
    {
        QTest::addColumn<bool>("unusualRows");
        QTest::addColumn<int>("pieces");
        QTest::newRow("usual rows, short texts") << false << 12;
        QTest::newRow("usual rows, long texts") << false << 120;
        QTest::newRow("unusual rows, short texts") << true << 12;
        QTest::newRow("unusual rows, long texts") << true << 120;
    }
    void randomTextsMatchTheRules()
    {
        QFETCH(bool, unusualRows);
        QFETCH(int, pieces);
        QRandomGenerator random(20240601u + quint32(pieces) + (unusualRows ? 7u : 0u));
        for (int round = 0; round < 3000; ++round) {
            const QStringList rows = fixtures::randomExtensions(random, unusualRows);
            const KnownExtensions known(rows);
            const QString text = fixtures::randomText(random, int(random.bounded(pieces + 1)), true);
            const QString found = fixtures::randomText(random, int(random.bounded(6)), true) + CrLf;
            const QString line = QStringLiteral("http://") + text;
            QString mismatch;
            const auto check = [&](const auto& actual, const auto& expected, const char* what) {
                if (mismatch.isEmpty() && actual != expected)
                    mismatch = QString::fromLatin1(what);
            };
            check(brisquel::correctName(text), reference::correctName(text), "correctName");
            check(brisquel::urlDecode(text), reference::urlDecode(text), "urlDecode");
            check(brisquel::breakAfterExtensions(text, known), reference::breakAfterExtensions(text, rows),
                  "breakAfterExtensions");
            check(hasKnownExtension(text, known), reference::hasKnownExtension(text, rows),
                  "hasKnownExtension");
            check(extensionEndPos(text, known), reference::extensionEndPos(text, rows), "extensionEndPos");
            check(brisquel::registrableDomain(text), reference::registrableDomain(text), "registrableDomain");
            check(brisquel::preparePageText(text, known), reference::preparePageText(text, rows),
                  "preparePageText");
            check(passesLinkLineTest(line, known, defaultExcludedLinkTexts()),
                  reference::passesLinkLineTest(line, rows, defaultExcludedLinkTexts()),
                  "passesLinkLineTest");
            for (const bool strip : {true, false}) {
                check(orNone(brisquel::linkCandidate(line, found, strip, known)),
                      orNone(reference::linkCandidate(line, found, strip, rows, defaultExcludedLinkTexts())),
                      "linkCandidate");
            }
            check(orNone(brisquel::textCandidate(text, found, known)),
                  orNone(reference::textCandidate(text, found, rows)), "textCandidate");
            if (!mismatch.isEmpty()) {
                QFAIL(qPrintable(QStringLiteral("%1 differs for rows [%2] and text \"%3\"")
                                     .arg(mismatch, rows.join(QLatin1Char(',')), printable(text))));
            }
        }
    }

    // Every row of the default table enabled: many rows end in the same letters.
    void allDefaultRowsMatchTheRules()
    {
        const QStringList rows = fixtures::allDefaultRows();
        const KnownExtensions known(rows);
        QRandomGenerator random(77u);
        for (int round = 0; round < 500; ++round) {
            const QString text = fixtures::randomText(random, 60, true);
            QCOMPARE(brisquel::preparePageText(text, known), reference::preparePageText(text, rows));
            QCOMPARE(extensionEndPos(text, known), reference::extensionEndPos(text, rows));
            QCOMPARE(orNone(brisquel::textCandidate(text, QString(), known)),
                     orNone(reference::textCandidate(text, QString(), rows)));
        }
    }

    // Random bytes and very long lines: no crash, and the work stays linear (a quadratic rule
    // would not finish within the test's time limit).
    void hostileInputIsSafe_data()
    {
        QTest::addColumn<QString>("text");
        QRandomGenerator random(5u);
        QByteArray bytes(2 * 1024 * 1024, Qt::Uninitialized);
        for (char& b : bytes)
            b = char(random.bounded(256));
        QTest::newRow("random bytes") << QString::fromUtf8(bytes);
        const QString twoMillion = QString(2'000'000, QLatin1Char('a'));
        QTest::newRow("one long link line")
            << QStringLiteral("http://") + twoMillion + QStringLiteral(".com");
        QTest::newRow("one long text line") << twoMillion + QStringLiteral(".com");
        QTest::newRow("nested escapes") << QStringLiteral("%") + QStringLiteral("25").repeated(1'000'000);
        QTest::newRow("dots only") << QString(2'000'000, QLatin1Char('.'));
        QTest::newRow("delimiters after extensions") << QStringLiteral("x.com ").repeated(300'000);
        QTest::newRow("many frames") << QStringLiteral("<frame src=").repeated(150'000);
        QTest::newRow("prefixes of extensions") << QStringLiteral(".na.inf.bi.ne.co").repeated(120'000);
    }
    void hostileInputIsSafe()
    {
        QFETCH(QString, text);
        for (const QStringList& rows : {fixtures::defaultExtensions(), fixtures::allDefaultRows()}) {
            const KnownExtensions known(rows);
            const QString prepared = brisquel::preparePageText(text, known);
            QVERIFY(prepared.size() >= text.size());
            QVERIFY(prepared.size() <= text.size() * (2 * qsizetype(rows.size()) + 12) + 2);
            brisquel::urlDecode(text);
            brisquel::correctName(text);
            brisquel::registrableDomain(text);
            const auto link = brisquel::linkCandidate(text, text, true, known);
            const auto plain = brisquel::textCandidate(text, QString(), known);
            QVERIFY(!link || link->size() <= text.size());
            QVERIFY(!plain || plain->size() <= text.size());
        }
    }
};

QTEST_GUILESS_MAIN(TestDomainText)
#include "test_domain_text.moc"
