#include "name_mask.h"

#include <QUrl>

namespace brisquel {

namespace {

bool isLabelChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-';
}

// Calls found(start, end) for each domain-like token of `text`, in order. Only the text around
// dots is looked at: every sentence of every answer passes here.
template <typename Found>
void forEachDomainLike(QStringView text, Found found)
{
    const qsizetype size = text.size();
    for (qsizetype from = 0;;) {
        const qsizetype dot = text.indexOf(u'.', from);
        if (dot < 0)
            return;
        if (dot == 0 || dot + 1 >= size || !isLabelChar(text.at(dot - 1)) || !isLabelChar(text.at(dot + 1))) {
            from = dot + 1;
            continue;
        }
        qsizetype start = dot;
        while (start > 0 && isLabelChar(text.at(start - 1)))
            --start;
        qsizetype end = dot + 1;
        qsizetype lastLabel = end;
        int dots = 1;
        for (;;) {
            while (end < size && isLabelChar(text.at(end)))
                ++end;
            if (end + 1 >= size || text.at(end) != u'.' || !isLabelChar(text.at(end + 1)))
                break;
            ++dots;
            lastLabel = ++end;
        }
        const QStringView last = text.mid(lastLabel, end - lastLabel);
        const bool hasLetter = std::any_of(last.begin(), last.end(), [](QChar c) { return c.isLetter(); });
        // "www.example.com" is a web address, a pointer to read more; "www.com" is a name.
        const bool webAddress =
            dots > 1 && text.mid(start).startsWith(QLatin1String("www."), Qt::CaseInsensitive);
        if (last.size() >= 2 && hasLetter && !webAddress)
            found(start, end);
        from = end;
    }
}

// The pieces of `text` between the spans, each span replaced by NameToken.
class Masked
{
public:
    explicit Masked(QStringView text)
        : m_text(text)
    {}
    void replace(qsizetype start, qsizetype end)
    {
        if (m_out.isNull())
            m_out.reserve(m_text.size());
        m_out += m_text.mid(m_copied, start - m_copied);
        m_out += NameToken;
        m_copied = end;
    }
    // Null when nothing was replaced.
    QString result()
    {
        if (!m_out.isNull())
            m_out += m_text.mid(m_copied);
        return m_out;
    }

private:
    QStringView m_text;
    QString m_out;
    qsizetype m_copied = 0;
};

} // namespace

QString maskDomainLikeTokens(QStringView sentence)
{
    Masked masked(sentence);
    forEachDomainLike(sentence, [&](qsizetype start, qsizetype end) { masked.replace(start, end); });
    return masked.result();
}

QString maskQueriedName(const QString& text, const QString& queriedName)
{
    const QString name = queriedName.trimmed();
    if (name.isEmpty())
        return text;
    // A plain ASCII name is its own Unicode form: no IDNA work for the common case.
    const bool plain = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; }) &&
                       !name.contains(QLatin1String("xn--"), Qt::CaseInsensitive);
    const QString ascii = plain ? name : QString::fromLatin1(QUrl::toAce(name));
    const QString unicode = plain ? name : QUrl::fromAce(ascii.toLatin1());
    const QString asciiLabel = ascii.section(QLatin1Char('.'), 0, 0);
    const QString unicodeLabel = unicode.section(QLatin1Char('.'), 0, 0);
    const auto isOne = [](QStringView word, const QString& a, const QString& b) {
        return word.compare(a, Qt::CaseInsensitive) == 0 ||
               (a != b && word.compare(b, Qt::CaseInsensitive) == 0);
    };
    // The name with its extension wherever it stands, and its first label alone where quoted
    // ("accuracy"): a bare word may be the registry's own. Both are found from the few dots and
    // quotes of an answer.
    QList<std::pair<qsizetype, qsizetype>> spans;
    const QStringView view(text);
    forEachDomainLike(view, [&](qsizetype start, qsizetype end) {
        if (isOne(view.mid(start, end - start), ascii, unicode))
            spans.append({start, end});
    });
    for (const QChar mark : {QChar(u'"'), QChar(u'\'')}) {
        for (qsizetype quote = text.indexOf(mark); quote >= 0; quote = text.indexOf(mark, quote + 1)) {
            qsizetype end = quote + 1;
            while (end < text.size() && isLabelChar(text.at(end)))
                ++end;
            if (end < text.size() && text.at(end) == mark && end > quote + 1 &&
                isOne(view.mid(quote + 1, end - quote - 1), asciiLabel, unicodeLabel))
                spans.append({quote + 1, end});
        }
    }
    if (spans.isEmpty())
        return text;
    std::sort(spans.begin(), spans.end());
    Masked masked(text);
    qsizetype covered = 0;
    for (const auto& [start, end] : std::as_const(spans)) {
        if (start >= covered)
            masked.replace(start, end);
        covered = std::max(covered, end);
    }
    return masked.result();
}

} // namespace brisquel
