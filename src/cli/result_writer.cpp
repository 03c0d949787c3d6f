#include "result_writer.h"

#include "engine/lookup_name.h"
#include "support/csv_text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace brisquel {

QByteArray ResultWriter::header() const
{
    return m_format == OutputFormat::Csv ? QByteArray("domain,verdict,detail,ace,state,expires,confirmed\n")
                                         : QByteArray();
}

QByteArray ResultWriter::line(const QString& domain, Verdict verdict, const QString& detail,
                              const NameFacts& facts) const
{
    const QString name = QString::fromLatin1(verdictName(verdict));
    // A line a name: the other fields are worked out only for the formats that show them.
    if (m_format == OutputFormat::Text)
        return (name + QLatin1Char(' ') + domain + QLatin1Char('\n')).toUtf8();
    const QString ace = queryDomain(domain);
    const QString state = facts.lifeCycle.state;
    const QString expires = facts.lifeCycle.expires.toString(Qt::ISODate);
    const QString confirmed =
        verdict == Verdict::Available ? QString::fromLatin1(confirmationName(facts.confirmed)) : QString();
    switch (m_format) {
    case OutputFormat::Text:
        break;
    case OutputFormat::Csv:
        return (QStringList{csvField(domain), name, csvField(detail), ace, state, expires, confirmed}.join(
                    QLatin1Char(',')) +
                QLatin1Char('\n'))
            .toUtf8();
    case OutputFormat::Json: {
        const auto orNull = [](const QString& text) {
            return text.isEmpty() ? QJsonValue() : QJsonValue(text);
        };
        const QJsonObject object{{QStringLiteral("domain"), domain},
                                 {QStringLiteral("verdict"), name},
                                 {QStringLiteral("detail"), detail},
                                 {QStringLiteral("ace"), ace},
                                 {QStringLiteral("state"), orNull(state)},
                                 {QStringLiteral("expires"), orNull(expires)},
                                 {QStringLiteral("confirmed"), orNull(confirmed)}};
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    }
    return {};
}

} // namespace brisquel
