#include "result_writer.h"

#include "engine/judging/drop_estimate.h"
#include "engine/names/lookup_name.h"
#include "support/clock.h"
#include "support/csv_text.h"
#include "support/data_folder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace brisquel {

QByteArray RecordFrame::opening() const
{
    return m_array ? QByteArray("[") : QByteArray();
}

QByteArray RecordFrame::next(const QByteArray& record)
{
    if (!m_array)
        return record + '\n';
    // The comma goes with the next record: the last needs none, and no record is known to be the
    // last until the end.
    return (m_count++ > 0 ? ",\n" : "\n") + record;
}

QByteArray RecordFrame::closing() const
{
    if (!m_array)
        return {};
    return m_count > 0 ? QByteArray("\n]\n") : QByteArray("]\n");
}

ResultWriter::ResultWriter(OutputFormat format, const QString& dataRoot)
    : m_format(format)
    , m_frame(format)
{
    // Text shows neither release nor score, so it reads no rules and no word lists.
    if (format == OutputFormat::Text)
        return;
    m_dropRules = DropRules::inFolderFile(
        dataRoot.isEmpty() ? QString() : DataFolder(dataRoot).path(QStringLiteral("drop-rules.txt")),
        nullptr);
    m_scorer = std::make_shared<const NameScorer>(NameScorer::forDataFolder(dataRoot));
}

QByteArray ResultWriter::header() const
{
    return m_format == OutputFormat::Csv
               ? QByteArray("domain,verdict,detail,ace,state,expires,confirmed,drops,score\n")
               : m_frame.opening();
}

QByteArray ResultWriter::line(const QString& domain, Verdict verdict, const QString& detail,
                              const NameFacts& facts)
{
    const QString word = verdictToken(verdict);
    // A line a name: the other fields are worked out only for the formats that show them.
    if (m_format == OutputFormat::Text)
        return (word + QLatin1Char(' ') + domain + QLatin1Char('\n')).toUtf8();
    const QString ace = queryDomain(domain);
    const QString state = facts.lifeCycle.state;
    const QString expires = facts.lifeCycle.expires.toString(Qt::ISODate);
    const QString drops =
        estimateDrop(facts.lifeCycle, m_dropRules->forName(domain), Clock::currentDateTimeUtc().date())
            .text();
    const QString score =
        verdict == Verdict::Available ? QString::number(m_scorer->score(domain)) : QString();
    const QString confirmed =
        verdict == Verdict::Available ? QString::fromLatin1(confirmationName(facts.confirmed)) : QString();
    switch (m_format) {
    case OutputFormat::Text:
        break;
    case OutputFormat::Csv:
        return (QStringList{csvField(domain), word, csvField(detail), ace, state, expires, confirmed, drops,
                            score}
                    .join(QLatin1Char(',')) +
                QLatin1Char('\n'))
            .toUtf8();
    case OutputFormat::JsonLines:
    case OutputFormat::JsonArray: {
        const auto orNull = [](const QString& text) {
            return text.isEmpty() ? QJsonValue() : QJsonValue(text);
        };
        const QJsonObject object{
            {QStringLiteral("domain"), domain},
            {QStringLiteral("verdict"), word},
            {QStringLiteral("detail"), detail},
            {QStringLiteral("ace"), ace},
            {QStringLiteral("state"), orNull(state)},
            {QStringLiteral("expires"), orNull(expires)},
            {QStringLiteral("confirmed"), orNull(confirmed)},
            {QStringLiteral("drops"), orNull(drops)},
            {QStringLiteral("score"), score.isEmpty() ? QJsonValue() : QJsonValue(score.toInt())}};
        return m_frame.next(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    }
    return {};
}

} // namespace brisquel
