#pragma once

// What the fake servers' programs share: their error line and their number options.
#include <QCommandLineParser>
#include <QString>
#include <cstdio>

namespace brisquel::test {

inline void printToolError(const char* tool, const QString& message)
{
    std::fprintf(stderr, "%s: %s\n", tool, qPrintable(message));
}

// Leaves *value alone when the option is not given; false with a message when it is no number
// from 0 to maximum.
inline bool readNumberOption(const char* tool, const QCommandLineParser& parser, const QString& option,
                             int maximum, int* value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    *value = parser.value(option).toInt(&ok);
    if (!ok || *value < 0 || *value > maximum) {
        printToolError(tool, QStringLiteral("--%1 wants a number from 0 to %2").arg(option).arg(maximum));
        return false;
    }
    return true;
}

} // namespace brisquel::test
