#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <optional>

// Shared by the text rule tests: extension lists and random texts made of the pieces the rules
// react to.
namespace fixtures {

// The enabled rows of the default extension table.
inline QStringList defaultExtensions()
{
    return {QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("info"), QStringLiteral("biz"),
            QStringLiteral("name")};
}

// Every row of the default table but "proxy", duplicates included.
inline QStringList allDefaultRows()
{
    return QStringLiteral(
               "com net edu org info biz aero name coop tc cn hk tw au ca ck cn kz za id us kr se "
               "ac jp as br cc ch fr gov hm li lk mil mm mx sg nu sh tj tm uk no nz pk al at az be "
               "bg by cy cz de dk dz ee eg es ga ge gl gr hu ie il is it lt lv ma md mk mt nl no pl "
               "pt ro si sk sm su tn tr us va yu ru to")
        .split(QLatin1Char(' '));
}

inline QString none()
{
    return QStringLiteral("(none)");
}

inline QString orNone(const std::optional<QString>& candidate)
{
    return candidate ? *candidate : none();
}

// Lone surrogates survive only inside QString; texts meant for files leave them out.
inline QString randomText(QRandomGenerator& random, int pieces, bool loneSurrogates)
{
    static const QStringList pool = [] {
        QStringList p =
            QStringLiteral(
                "http://|HTTP://|hTtP://|ttp://|://|www.|WWW.|=www.|>WwW.|=|>|<|<frame|<FRAME src=|"
                "src=|<b>|<B>|</b>|.com|.COM|.net|.info|.Name|.biz|.org|.us|.co.uk|.co|.mil|.il|"
                ".aero|.cn|.se|.kz|com|net|mil|il|cn| |  |/|\"|'|:|?|@|.|..|%|%25|%2|5|%252F|"
                "%2520|%3c|%3C|%20|%0A|%0d|%40|%3A|%2F|%3D|%2C|example|shop|a|b|x|my|targetblank|"
                "mailto:|search.yahoo.com|yimg.com|SEDO.com|&nbsp;|nbsp;|&|;|site:|related:|_|~|#|"
                "!|(|)|*|$|^|\\|+|`|,|-|1|42")
                .split(QLatin1Char('|'));
        for (const char16_t* special :
             {u"\r",     u"\n",     u"\r\n",       u"\t",         u"\u00AB",     u"\u00B4", u"\u00BA",
              u"\u00B8", u"\u00AF", u"\u017F",     u"\u212A",     u"\u0130",     u"\u0131", u"\u00E9",
              u"\u00C9", u"\uFFFD", u"\U0001F600", u"\U00010400", u"\U00010428", u"\u00A0"})
            p.append(QString::fromUtf16(special));
        return p;
    }();
    QString text;
    for (int i = 0; i < pieces; ++i) {
        const int kind = int(random.bounded(10));
        if (kind == 0) {
            // Any single unit, now and then a lone surrogate.
            char16_t unit = char16_t(random.bounded(0x10000));
            if (!loneSurrogates && QChar::isSurrogate(unit))
                unit = u'x';
            text.append(QChar(unit));
        } else {
            text.append(pool.at(int(random.bounded(qsizetype(pool.size())))));
        }
    }
    return text;
}

inline QStringList randomExtensions(QRandomGenerator& random, bool unusualRows)
{
    static const QStringList usual =
        QStringLiteral("com net info biz name org us co uk mil il aero ro cn cn se "
                       "kz COM Net m om e.co co.uk")
            .split(QLatin1Char(' '));
    QStringList unusual = usual;
    for (const char16_t* odd :
         {u"", u"c m", u"o/", u"m:", u"x\r", u"\U0001F600", u"\u017Fe", u"\u212Az", u"?"})
        unusual.append(QString::fromUtf16(odd));
    const QStringList& pool = unusualRows ? unusual : usual;
    QStringList chosen;
    const int count = int(random.bounded(8));
    for (int i = 0; i < count; ++i)
        chosen.append(pool.at(int(random.bounded(qsizetype(pool.size())))));
    return chosen;
}

} // namespace fixtures
