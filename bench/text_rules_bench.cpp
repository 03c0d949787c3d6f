// Prints how long the page text rules take on a generated 2 MB listing page: preparing the page,
// the harvester's extraction and the domain browser's scan, with the default enabled extensions
// and with every row of the default table enabled.

#include "sources/domain_text.h"
#include "sources/known_extensions.h"
#include "sources/page_extraction.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTextStream>

using namespace brisquel;

namespace {

QStringList defaultRows()
{
    return QStringLiteral("com net info biz name").split(QLatin1Char(' '));
}

QStringList allRows()
{
    return QStringLiteral(
               "com net edu org info biz aero name coop tc cn hk tw au ca ck cn kz za id us kr se "
               "ac jp as br cc ch fr gov hm li lk mil mm mx sg nu sh tj tm uk no nz pk al at az be "
               "bg by cy cz de dk dz ee eg es ga ge gl gr hu ie il is it lt lv ma md mk mt nl no pl "
               "pt ro si sk sm su tn tr us va yu ru to")
        .split(QLatin1Char(' '));
}

QString randomName(QRandomGenerator& random)
{
    static const QStringList syllables = QStringLiteral("ka lo mi ne ro ta vi zu bel cor dan fen gar hol jin "
                                                        "kel lum mor nix pol quin rex sol tor vex win")
                                             .split(QLatin1Char(' '));
    QString name;
    const int count = 2 + int(random.bounded(3));
    for (int i = 0; i < count; ++i)
        name += syllables.at(int(random.bounded(qsizetype(syllables.size()))));
    return name + QString::number(random.bounded(1000));
}

// A page of the kind the domain browser is pointed at: a long table of dropped names, each as a
// link and as text, between paragraphs, images, e-mail addresses and a frame.
QString listingPage(qsizetype size)
{
    QRandomGenerator random(2024u);
    static const QStringList extensions = QStringLiteral("com net org info biz").split(QLatin1Char(' '));
    QString page = QStringLiteral("<html><head><title>Dropped domains</title></head><body>\n"
                                  "<frameset><frame src=\"http://www.listings.com/menu.html\"></frameset>\n");
    int row = 0;
    while (page.size() < size) {
        const QString host = randomName(random) + QLatin1Char('.') +
                             extensions.at(int(random.bounded(qsizetype(extensions.size()))));
        page += QStringLiteral("<tr><td><a href=\"http://www.%1/\" target=\"_blank\">%1</a></td>"
                               "<td>%2 bids</td><td>Expires 2024-06-%3</td></tr>\n")
                    .arg(host)
                    .arg(random.bounded(50))
                    .arg(1 + random.bounded(28));
        if (++row % 25 == 0) {
            page += QStringLiteral("<p>Great names at fair prices. Questions? Write to sales%1@broker.net or "
                                   "see <a href=www.broker.net/help>help</a>.</p>"
                                   "<img src=\"http://us.yimg.com/i/ad%1.gif\">\n")
                        .arg(row);
        }
    }
    return page + QStringLiteral("</table></body></html>\n");
}

template <typename Work>
double milliseconds(Work work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main()
{
    QTextStream out(stdout);
    const QString page = listingPage(2 * 1024 * 1024);
    out << "Generated page: " << page.size() << " characters\n";
    for (const auto& [label, rows] : {std::pair{QStringLiteral("default rows"), defaultRows()},
                                      std::pair{QStringLiteral("all default-table rows"), allRows()}}) {
        const KnownExtensions extensions(rows);
        QString prepared;
        const double prepare = milliseconds([&] { prepared = preparePageText(page, extensions); });
        QString harvestText;
        QStringList harvested;
        const double harvest =
            milliseconds([&] { harvested = extractHarvestNames(page, &harvestText, extensions); });
        QString seenNames;
        PageScan scan;
        const double browse = milliseconds([&] { scan = scanBrowserPage(page, &seenNames, extensions); });
        out << label << " (" << rows.size() << " extensions):\n"
            << "  prepare page text        " << prepare << " ms\n"
            << "  harvester extraction     " << harvest << " ms, " << harvested.size() << " names\n"
            << "  browser scan             " << browse << " ms, " << scan.names.size() << " names, "
            << scan.frameAddresses.size() << " frames\n";
    }
    return 0;
}
