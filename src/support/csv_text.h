#pragma once

#include <QString>

namespace brisquel {

// A field of a CSV line: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break; as it is otherwise.
QString csvField(const QString& text);

} // namespace brisquel
