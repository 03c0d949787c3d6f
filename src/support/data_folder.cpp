#include "data_folder.h"

#include "file_helpers.h"
#include "text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace brisquel {

namespace {

// Every combination of a to z of the given length, in order, one per line.
QByteArray letterCombinations(int length)
{
    QByteArray bytes;
    qsizetype count = 1;
    for (int i = 0; i < length; ++i)
        count *= 26;
    bytes.reserve(count * (length + 2));
    QByteArray word(length, 'a');
    for (qsizetype n = 0; n < count; ++n) {
        bytes += word;
        bytes += TextFile::LineEnd;
        for (int i = length - 1; i >= 0; --i) {
            if (word[i] < 'z') {
                ++word[i];
                break;
            }
            word[i] = 'a';
        }
    }
    return bytes;
}

QByteArray withTextLineEnds(const QByteArray& bytes)
{
    QByteArray text = bytes;
    text.replace("\r\n", "\n").replace('\r', '\n').replace("\n", TextFile::LineEnd);
    return text;
}

struct DeliveredFile
{
    const char* relativePath;
    const char* resource; // nullptr: generated
    int generatedLength;
    bool textLineEnds = false; // written with CR LF, as the program writes its text files
};

const DeliveredFile deliveredFiles[] = {
    {"wordlists/FullWordList.txt", ":/data/wordlists/FullWordList.txt", 0},
    {"wordlists/AllTwoLetter.txt", nullptr, 2},
    {"wordlists/AllThreeLetter.txt", nullptr, 3},
    {"wordlists/AllFourLetter.txt", nullptr, 4},
    {"Help.html", ":/data/Help.html", 0},
    {"help/main-window.png", ":/data/help/main-window.png", 0},
    {"help/whois-window.png", ":/data/help/whois-window.png", 0},
    {"help/about-box.png", ":/data/help/about-box.png", 0},
    {"Appends.txt", ":/data/Appends.txt", 0},
    // The delivered rules and limits stay in the program, so that a new version brings new ones;
    // the folder gets a commented start for the user's own lines.
    {"answer-rules.txt", ":/data/templates/answer-rules.txt", 0, true},
    {"server-limits.txt", ":/data/templates/server-limits.txt", 0, true},
    {"life-cycle.txt", ":/data/templates/life-cycle.txt", 0, true},
    {"drop-rules.txt", ":/data/templates/drop-rules.txt", 0, true},
};

} // namespace

QString DataFolder::resolveRoot(const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--home"));
    if (at >= 0 && at + 1 < arguments.size())
        return QDir(arguments.at(at + 1)).absolutePath();
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("--home=")))
            return QDir(argument.mid(7)).absolutePath();
    }
    const QString fromEnvironment = qEnvironmentVariable("BRISQUEL_HOME");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString DataFolder::homeArgumentProblem(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool empty =
            (argument.startsWith(QLatin1String("--home=")) && argument.mid(7).trimmed().isEmpty()) ||
            (argument == QLatin1String("--home") &&
             (i + 1 == arguments.size() || arguments.at(i + 1).trimmed().isEmpty()));
        if (empty)
            return QStringLiteral("--home needs the path of a folder");
    }
    return {};
}

QString DataFolder::defaultUserSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velmorra/Brisquel.ini");
}

DataFolder::DataFolder(QString root)
    : m_root(std::move(root))
{}

QString DataFolder::path(const QString& relative) const
{
    QString cleaned = relative;
    cleaned.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (cleaned.startsWith(QLatin1Char('/')))
        cleaned.remove(0, 1);
    return m_root + QLatin1Char('/') + cleaned;
}

bool DataFolder::ensureRoot(QString* error) const
{
    if (QDir().mkpath(m_root))
        return true;
    if (error)
        *error = QStringLiteral("Cannot create the data folder %1").arg(m_root);
    return false;
}

QStringList DataFolder::deliverFiles() const
{
    QStringList problems;
    for (const DeliveredFile& file : deliveredFiles) {
        const QString target = path(QString::fromLatin1(file.relativePath));
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QByteArray bytes;
        if (file.resource) {
            QFile resource(QString::fromLatin1(file.resource));
            if (!resource.open(QIODevice::ReadOnly)) {
                problems
                    << QStringLiteral("Missing delivered file %1").arg(QString::fromLatin1(file.resource));
                continue;
            }
            bytes = resource.readAll();
            if (file.textLineEnds)
                bytes = withTextLineEnds(bytes);
        } else {
            bytes = letterCombinations(file.generatedLength);
        }
        QString error;
        if (!TextFile::writeText(target, bytes, &error))
            problems << error;
    }
    return problems;
}

} // namespace brisquel
