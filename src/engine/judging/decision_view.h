#pragma once

#include <QString>

namespace brisquel {

// The sentences of an answer that the generic rules judge, one per line: each line cut into
// sentences, without what stands in front of the message (comment marks, error codes, a server's
// name), underscores read as spaces, every domain-like token masked; prose and the values of record
// fields are left out. *fields: the lines of the form "Key: value", how much of a record the answer
// holds.
QString decisionText(const QString& text, int* fields);

} // namespace brisquel
