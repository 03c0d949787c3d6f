#pragma once

#include "cli/exit_code.h"

#include <QStringList>

namespace brisquel {

// "brisquel-cli generate --base WORD [--words FILE] [--forms prefix,suffix,hyphen]
// [--ext .com,.net,...] [--out FILE] [--search] [--home DIR]": the generator's names, printed or
// written; --search then searches them. Defaults come from the generator window's settings.
ExitCode runGenerateCommand(const QStringList& arguments);

} // namespace brisquel
