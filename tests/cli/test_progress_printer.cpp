#include "cli/progress_printer.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>

using namespace brisquel;

namespace {

// A stream in memory, read back as it was written.
class Written
{
public:
    Written() { m_stream = open_memstream(&m_buffer, &m_size); }
    ~Written()
    {
        std::fclose(m_stream);
        std::free(m_buffer);
    }
    FILE* stream() const { return m_stream; }
    QByteArray text() const
    {
        std::fflush(m_stream);
        return QByteArray(m_buffer, qsizetype(m_size));
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    FILE* m_stream = nullptr;
};

SearchProgress progressOf(qint64 settled, qint64 total)
{
    SearchProgress progress;
    progress.settled = settled;
    progress.total = total;
    return progress;
}

} // namespace

class TestProgressPrinter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A bar on one line, taken away for other lines and put back after them, its last state kept.
    void aBarOnATerminal()
    {
        Written written;
        ProgressPrinter printer(written.stream(), true);
        printer.update(progressOf(1, 4), 0);
        const QByteArray bar = "[#######.......................] 1/4  ";
        QVERIFY2(written.text().startsWith("\r" + bar), written.text().constData());
        QVERIFY(written.text().endsWith("unanswered 0\033[K"));
        const qsizetype drawn = written.text().size();

        printer.clear();
        QCOMPARE(written.text().mid(drawn), QByteArray("\r\033[K"));
        printer.clear(); // nothing left to take away
        QCOMPARE(written.text().size(), drawn + 4);
        std::fputs("taken one.com\n", written.stream());
        printer.restore();
        QVERIFY(written.text().mid(drawn + 4).startsWith("taken one.com\n" + bar));

        // The end shows the last entry whether due or not, and a line of its own follows.
        printer.finish(progressOf(4, 4), 1);
        const QByteArray last = written.text().mid(written.text().lastIndexOf('\r'));
        QVERIFY2(last.startsWith("\r[##############################] 4/4  "), last.constData());
        QVERIFY(last.endsWith("open 0  unanswered 1\033[K\n"));
        const qsizetype finished = written.text().size();
        printer.clear();
        printer.restore();
        printer.update(progressOf(4, 4), 1);
        QCOMPARE(written.text().size(), finished);
    }

    // A log gets a plain line now and then, and nothing else: no escapes, no last line of its own.
    void plainLinesElsewhere()
    {
        Written written;
        ProgressPrinter printer(written.stream(), false);
        printer.update(progressOf(1, 4), 0);
        QVERIFY(!printer.isDue());
        printer.update(progressOf(2, 4), 0);
        printer.clear();
        printer.restore();
        printer.finish(progressOf(4, 4), 0);
        QVERIFY2(written.text().startsWith("progress: 1/4  "), written.text().constData());
        QCOMPARE(written.text().count('\n'), 1);
        QVERIFY(!written.text().contains('\r') && !written.text().contains('\033'));
    }
};

QTEST_GUILESS_MAIN(TestProgressPrinter)
#include "test_progress_printer.moc"
