#pragma once

#include "cli/command_options.h"
#include "engine/name_facts.h"

#include <QByteArray>

namespace brisquel {

// A search's results on standard output as text ("verdict domain"), csv or json lines (one object
// a line): the name as the list wrote it, and in csv and json the detail, the ASCII form the
// registry was asked in, a taken name's life cycle and who confirmed a free one (empty or null
// where it does not apply).
class ResultWriter
{
public:
    explicit ResultWriter(OutputFormat format)
        : m_format(format)
    {}

    // What comes before the first result: the csv header line, or nothing.
    QByteArray header() const;
    QByteArray line(const QString& domain, Verdict verdict, const QString& detail,
                    const NameFacts& facts) const;

private:
    OutputFormat m_format;
};

} // namespace brisquel
