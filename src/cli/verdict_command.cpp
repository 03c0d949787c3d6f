#include "verdict_command.h"

#include "cli/cli_output.h"
#include "engine/answer_rules.h"
#include "support/data_folder.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace brisquel {

int runVerdictCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Judges saved WHOIS answers by the answer rules and prints, per file:\n"
        "verdict, file, and the rule that decided it (tab-separated).\n"
        "The rules are the delivered ones with the data folder's answer-rules.txt over them."));
    parser.addHelpOption();
    const QCommandLineOption serverOption(
        QStringLiteral("server"), QStringLiteral("WHOIS server whose rules apply (default: generic)."),
        QStringLiteral("HOST"));
    const QCommandLineOption homeOption(QStringLiteral("home"), QStringLiteral("Data folder."),
                                        QStringLiteral("DIR"));
    parser.addOptions({serverOption, homeOption});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A saved answer."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printCommandHelp(parser, QStringLiteral("brisquel-cli verdict [options] FILE..."));
        return 0;
    }
    if (parser.positionalArguments().isEmpty()) {
        printError(QStringLiteral("give one or more files with saved answers"));
        return 2;
    }

    AnswerRules rules;
    QList<AnswerRules::Problem> problems;
    rules.load(AnswerRules::shippedText(), QStringLiteral("answer-rules.txt (delivered)"), &problems);
    const DataFolder folder(DataFolder::resolveRoot(arguments));
    const QString userRules = folder.path(QStringLiteral("answer-rules.txt"));
    if (QFileInfo::exists(userRules)) {
        QString error;
        if (!rules.loadFile(userRules, &problems, &error))
            printError(error);
    }
    for (const AnswerRules::Problem& problem : problems)
        printError(QStringLiteral("%1 line %2 skipped: %3")
                       .arg(problem.origin)
                       .arg(problem.lineNumber)
                       .arg(problem.message));

    const QString server = parser.value(serverOption);
    int status = 0;
    for (const QString& path : parser.positionalArguments()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
            status = 1;
            continue;
        }
        const AnswerRules::Judgement judgement = rules.judge(file.read(2 * 1024 * 1024), server);
        QStringList why;
        if (!judgement.detail.isEmpty())
            why << judgement.detail;
        if (!judgement.rule.isEmpty())
            why << judgement.rule;
        const QString line = QStringLiteral("%1\t%2\t%3\n")
                                 .arg(QString::fromLatin1(verdictName(judgement.verdict)), path,
                                      why.join(QStringLiteral("; ")));
        std::fputs(line.toUtf8().constData(), stdout);
    }
    std::fflush(stdout);
    return status;
}

} // namespace brisquel
