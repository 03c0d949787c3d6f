// Feeds arbitrary bytes as a user's answer-rules.txt: read over the delivered rules (when the
// first byte is even; compiling those takes long, so the others go alone) and, after the delivered
// kinds are restored, used to judge a few answers. A reported problem names a line of the file.

#include "engine/judging/answer_rules.h"
#include "fuzz_support.h"

using namespace brisquel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool overDelivered = data[0] % 2 == 0;
    const QByteArray text = fuzz::bytes(data + 1, size - 1);

    AnswerRules rules;
    if (overDelivered)
        rules.load(AnswerRules::shippedText(), QStringLiteral("delivered"));
    QList<AnswerRules::Problem> problems;
    rules.load(text, QStringLiteral("answer-rules.txt"), &problems);
    const qsizetype lines =
        QByteArray(text).replace("\r\n", "\n").count('\n') + text.count('\r') - text.count("\r\n") + 1;
    for (const AnswerRules::Problem& problem : std::as_const(problems))
        FUZZ_REQUIRE(problem.lineNumber >= 1 && problem.lineNumber <= lines);
    if (overDelivered) {
        QStringList notes;
        rules.restoreMissingKinds(AnswerRules::shipped(), &notes);
    }

    // Short answers: a user's expression may be slow, but not on these.
    static const QByteArray answers[] = {
        "No match for \"A.EXAMPLE\".\r\n", "Domain Name: a.example\nCreation Date: 2001-01-01\n",
        "\xbb\xf3\xb1\xe2 \xb5\xee\xb7\xcf\r\n", "limit exceeded\r\n", "\x1b$B>uBV\x1b(B Active\n"};
    for (const QString& server : {QStringLiteral("whois.a.example"), QStringLiteral("whois.kr"), QString()}) {
        for (const QByteArray& answer : answers)
            (void)rules.judge(answer, server);
    }
    return 0;
}
