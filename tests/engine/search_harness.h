#pragma once

// One search environment for the driver's tests: a data folder, the core objects, and the
// answers collected.
#include "engine/filing/live_list_files.h"
#include "engine/filing/result_lists.h"
#include "engine/search/search_driver.h"
#include "engine/filing/verdict_filer.h"
#include "sources/list_file_reader.h"
#include "support/data_folder.h"
#include "support/settings_store.h"
#include "support/text_file.h"
#include "whois_config/extension_table.h"

#include <QDir>
#include <QHash>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace brisquel::test {

// "name1.com" ... one a line, as a list file holds them.
inline QByteArray numberedList(int count, const char* prefix = "name")
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += prefix + QByteArray::number(i) + ".com\r\n";
    return bytes;
}

struct Outcome
{
    QString domain;
    Verdict verdict;
};

class Harness
{
public:
    // Every name goes to the WHOIS server on this local port.
    explicit Harness(quint16 port)
        : Harness(ExtensionTable({{QStringLiteral("proxy"), QStringLiteral("127.0.0.1"), port, true},
                                  {QStringLiteral("com"), QStringLiteral("127.0.0.1"), port, true}}))
    {}

    explicit Harness(ExtensionTable rows)
        : folder(dir.path())
        , settings(folder.settingsPath(), dir.filePath(QStringLiteral("user.ini")))
        , table(std::move(rows))
        , listFiles(folder, &lists)
        , filer(folder, &lists, &listFiles)
        , driver(&settings, &table, &filer)
    {
        QDir().mkpath(folder.path(QStringLiteral("overflow")));
        QDir().mkpath(folder.path(QStringLiteral("backups")));
        driver.changeSetting(&SearchSettings::timings, {300, 3, 20});
        QObject::connect(&driver, &SearchDriver::verdict,
                         [this](const QString& domain, Verdict verdict, const QString& detail) {
                             outcomes.append({domain, verdict});
                             verdicts.insert(domain, verdict);
                             details.insert(domain, detail);
                         });
        QObject::connect(&driver, &SearchDriver::problem,
                         [this](const QString& message) { problems << message; });
    }

    // The DNS pre-check on, asking this server; false when it is no address.
    bool checkDnsFirst(const QString& server)
    {
        SearchSettings settings = driver.settings();
        settings.dnsPrecheck = true;
        settings.dnsServer = server;
        return driver.setSettings(settings);
    }

    QString writeList(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        TextFile::writeText(path, bytes);
        return path;
    }

    bool run(const QString& list, const QString& start = QStringLiteral("1"), int timeoutMs = 20000)
    {
        QSignalSpy finished(&driver, &SearchDriver::finished);
        QString error;
        const QString total = QString::number(countListEntries(list));
        if (!driver.start({list, SearchType::CustomList, start, total}, &error)) {
            lastError = error;
            return false;
        }
        return finished.count() > 0 || finished.wait(timeoutMs);
    }

    QStringList domains(Verdict verdict) const
    {
        QStringList result;
        for (const Outcome& outcome : outcomes) {
            if (outcome.verdict == verdict)
                result << outcome.domain;
        }
        result.sort();
        return result;
    }

    QStringList allDomains() const
    {
        QStringList result;
        for (const Outcome& outcome : outcomes)
            result << outcome.domain;
        result.sort();
        return result;
    }

    QStringList fileLines(const QString& name) const
    {
        QStringList lines;
        TextFile::readLines(folder.path(name), &lines);
        return lines;
    }

    QTemporaryDir dir;
    DataFolder folder;
    SettingsStore settings;
    ExtensionTable table;
    ResultLists lists;
    LiveListFiles listFiles;
    VerdictFiler filer;
    SearchDriver driver;
    QList<Outcome> outcomes;
    // The last verdict and detail of each name.
    QHash<QString, Verdict> verdicts;
    QHash<QString, QString> details;
    QStringList problems;
    QString lastError;
};

} // namespace brisquel::test
