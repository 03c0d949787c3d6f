#include "file_helpers.h"

#include "text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisquel {

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

bool dirExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

namespace {

constexpr double MiB = 1024.0 * 1024.0;

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / MiB, 'g', 3);
}

// A regular file larger than maxBytes; anything else passes.
QString regularOversize(const QFileInfo& info, qint64 maxBytes)
{
    if (!info.isFile() || info.size() <= maxBytes)
        return {};
    return QStringLiteral("%1 is %2 MB, more than the %3 MB such a file may have")
        .arg(QDir::toNativeSeparators(info.filePath()), QString::number(double(info.size()) / MiB, 'f', 1),
             megabytes(maxBytes));
}

} // namespace

QString oversizeProblem(const QString& path, qint64 maxBytes)
{
    const QFileInfo info(path);
    // A device or a FIFO has no size to check, and /dev/zero has no end. (A folder fails to open
    // on its own, and says so.)
    if (info.exists() && !info.isFile() && !info.isDir())
        return QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(path));
    return regularOversize(info, maxBytes);
}

QString streamOversizeProblem(const QString& path, qint64 maxBytes)
{
    return regularOversize(QFileInfo(path), maxBytes);
}

QString overLimitProblem(const QString& path, qint64 maxBytes)
{
    return QStringLiteral("%1 holds more than the %2 MB such a file may have")
        .arg(QDir::toNativeSeparators(path), megabytes(maxBytes));
}

bool openToRead(QFile* file, const QString& path, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    file->setFileName(path);
    struct stat status = {};
    const QByteArray name = QFile::encodeName(path);
    const bool known = ::stat(name.constData(), &status) == 0;
    if (known && S_ISDIR(status.st_mode))
        return fail(QStringLiteral("it is a folder"));
    if (!known || !S_ISFIFO(status.st_mode))
        return file->open(QIODevice::ReadOnly) || fail(file->errorString());
    // Opening a FIFO for reading waits for a writer; non-blocking it returns at once, and reads
    // then wait for data as usual.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0 && !file->isOpen())
            ::close(fd);
        return fail(why);
    }
    return true;
}

std::optional<QByteArray> readWhole(const QString& path, qint64 maxBytes, QString* error)
{
    if (QString tooLarge = streamOversizeProblem(path, maxBytes); !tooLarge.isEmpty()) {
        if (error)
            *error = tooLarge;
        return std::nullopt;
    }
    QFile file;
    QString why;
    if (!openToRead(&file, path, &why)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), why);
        return std::nullopt;
    }
    constexpr qint64 ChunkBytes = 64 * 1024;
    QByteArray bytes;
    for (;;) {
        const qint64 want = std::min(ChunkBytes, maxBytes + 1 - bytes.size());
        const qsizetype old = bytes.size();
        bytes.resize(old + want);
        const qint64 got = file.read(bytes.data() + old, want);
        bytes.resize(old + std::max<qint64>(got, 0));
        if (got < 0) {
            if (error)
                *error = QStringLiteral("Cannot read %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString());
            return std::nullopt;
        }
        if (bytes.size() > maxBytes) {
            if (error)
                *error = overLimitProblem(path, maxBytes);
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
    }
}

bool openInPlace(QFile* file, const QString& path, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    file->setFileName(path);
    if (fd >= 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0 &&
        file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    const int cause = errno;
    if (fd >= 0)
        ::close(fd);
    if (error)
        *error = cause == ENXIO ? QStringLiteral("no program reads from it")
                                : QString::fromLocal8Bit(std::strerror(cause));
    return false;
}

WriteTarget writeTargetOf(const QString& path, QString* why)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return WriteTarget::Replace;
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode))
        return WriteTarget::InPlace;
    if (why)
        *why = S_ISDIR(status.st_mode)    ? QStringLiteral("it is a folder")
               : S_ISBLK(status.st_mode)  ? QStringLiteral("it is a block device")
               : S_ISSOCK(status.st_mode) ? QStringLiteral("it is a socket")
                                          : QStringLiteral("it is not a regular file");
    return WriteTarget::Refused;
}

QString freshBackupPath(const QString& folder, const QString& name, const QString& suffix,
                        const QDateTime& when)
{
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name + when.toString(QStringLiteral("-yyyyMMdd-hhmmss"));
    QString path = base + suffix;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("-%1").arg(n) + suffix;
    return path;
}

bool copyFileTo(const QString& source, const QString& destination)
{
    if (!fileExists(source))
        return false;
    switch (writeTargetOf(destination, nullptr)) {
    case WriteTarget::Refused:
        return false;
    case WriteTarget::InPlace: {
        QFile in(source);
        QFile out;
        if (!in.open(QIODevice::ReadOnly) || !openInPlace(&out, destination, nullptr))
            return false;
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(64 * 1024);
            if (chunk.isEmpty() || !TextFile::writeAll(out, chunk))
                return false;
        }
        return true;
    }
    case WriteTarget::Replace:
        break;
    }
    const QString temporary = destination + QStringLiteral(".part");
    QFile::remove(temporary);
    if (!QFile::copy(source, temporary))
        return false;
    // Rename over the destination so that a failed copy never leaves a half-written file.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination).constData()) !=
        0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

QString chosenFilePath(const QString& folder, const QString& chosen, const QString& defaultName)
{
    const QString name = chosen.trimmed().isEmpty() ? defaultName : chosen.trimmed();
    return QDir::isAbsolutePath(name) ? name : QDir(folder).filePath(name);
}

} // namespace brisquel
