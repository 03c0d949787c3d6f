#pragma once

#include "cli/command_options.h"
#include "engine/judging/drop_rules.h"
#include "engine/judging/name_facts.h"

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
// where it does not apply), and a dropping name's estimated release (`drops`: a day or start/end).
// Verdicts are free, taken, unanswered or not-registrable.
class ResultWriter
{
public:
    // dropRulesPath: the data folder's drop-rules.txt, read over the delivered rules.
    explicit ResultWriter(OutputFormat format, const QString& dropRulesPath = QString());

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
};

} // namespace brisquel
