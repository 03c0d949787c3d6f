#pragma once

#include "cli/command_options.h"
#include "engine/judging/drop_rules.h"
#include "engine/judging/name_facts.h"
#include "engine/judging/name_score.h"

#include <QByteArray>

namespace brisquel {

// How a command's records follow one another on standard output: a line each, or for json-array
// one JSON array of them ("[", the records a line each with commas between, "]"), written as they
// come all the same.
class RecordFrame
{
public:
    explicit RecordFrame(OutputFormat format)
        : m_array(format == OutputFormat::JsonArray)
    {}

    QByteArray opening() const;
    // The record with what goes between it and the one before.
    QByteArray next(const QByteArray& record);
    QByteArray closing() const;

private:
    bool m_array;
    qint64 m_count = 0;
};

// A search's results on standard output as text ("verdict domain"), csv, or JSON objects (a line
// each, or one array): the name as the list wrote it, and in csv and JSON the detail, the ASCII form
// the registry was asked in, a taken name's life cycle and who confirmed a free one (empty or null
// where it does not apply), a dropping name's estimated release (`drops`: a day or start/end) and a
// free name's shortlist score (`score`, 0 to 100).
// Verdicts are free, taken, unanswered or not-registrable.
class ResultWriter
{
public:
    // dataRoot: the data folder whose drop-rules.txt, word lists and [Score] weights are read
    // over the delivered ones (empty: the delivered ones alone).
    explicit ResultWriter(OutputFormat format, const QString& dataRoot = QString());

    // What comes before the first result: the csv header line, the opening of a JSON array, or
    // nothing.
    QByteArray header() const;
    QByteArray line(const QString& domain, Verdict verdict, const QString& detail, const NameFacts& facts);
    // What comes after the last: the closing of a JSON array, or nothing.
    QByteArray footer() const { return m_frame.closing(); }

private:
    OutputFormat m_format;
    RecordFrame m_frame;
    std::shared_ptr<const DropRules> m_dropRules;
    std::shared_ptr<const NameScorer> m_scorer;
};

} // namespace brisquel
