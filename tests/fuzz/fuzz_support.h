// What the fuzz targets share: the input as bytes or text, and a scratch file for readers that
// take a path.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace brisquel::fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A check that failed: libFuzzer keeps the input that led here.
inline void fail(const char* check, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, check);
    std::abort();
}

#define FUZZ_REQUIRE(condition) ((condition) ? void() : brisquel::fuzz::fail(#condition, __FILE__, __LINE__))

// A path in a folder of this process's own that holds `contents`.
inline QString scratchFile(const QString& name, const QByteArray& contents)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(name);
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(contents) == contents.size());
    return path;
}

} // namespace brisquel::fuzz
