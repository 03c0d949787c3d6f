#include "result_lists.h"

#include <QHash>
#include <QSet>
#include <QStringListModel>
#include <algorithm>

namespace brisquel {

namespace {

// An extension on its own is what an empty entry of a list file turns into; it names nothing.
bool isBareExtension(const QString& domain)
{
    return domain == QLatin1String(".com") || domain == QLatin1String(".net");
}

ResultList profileForLabelLength(qsizetype length)
{
    if (length < 5)
        return ResultList::High;
    if (length <= 7)
        return ResultList::Mid;
    return ResultList::Low;
}

} // namespace

// A list's names, and which free ones only WHOIS vouches for: a mark beside the text, so that
// copying and dragging the names never carries it.
class ResultLists::Model : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;

    void mark(const QString& domain, bool unconfirmed)
    {
        if (unconfirmed)
            m_unconfirmed.insert(domain);
        else
            m_unconfirmed.remove(domain);
    }
    // The list was emptied: its marks go with its names.
    void forgetMarks()
    {
        m_unconfirmed.clear();
        m_news.clear();
    }
    void setNews(const QString& domain, const QString& what, const QString& whole)
    {
        m_news.insert(domain, {what, whole});
        changed(domain);
    }
    void forgetNews(const QString& domain)
    {
        if (m_news.remove(domain) > 0)
            changed(domain);
    }
    int newsCount() const { return int(m_news.size()); }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!m_news.isEmpty() && (role == NewsRole || role == Qt::ToolTipRole)) {
            const auto news = m_news.constFind(QStringListModel::data(index, Qt::DisplayRole).toString());
            if (news != m_news.cend())
                return role == NewsRole ? news->first : news->second;
        }
        if (role != Qt::ToolTipRole && role != UnconfirmedRole)
            return QStringListModel::data(index, role);
        const bool unconfirmed =
            !m_unconfirmed.isEmpty() &&
            m_unconfirmed.contains(QStringListModel::data(index, Qt::DisplayRole).toString());
        if (role == UnconfirmedRole)
            return unconfirmed;
        return unconfirmed ? QVariant(QStringLiteral("Free by WHOIS alone: neither the registry's RDAP "
                                                     "service nor DNS confirmed it."))
                           : QVariant();
    }

private:
    void changed(const QString& domain)
    {
        const int row = int(stringList().indexOf(domain));
        if (row >= 0)
            Q_EMIT dataChanged(index(row), index(row), {NewsRole, Qt::ToolTipRole});
    }

    QSet<QString> m_unconfirmed;
    QHash<QString, std::pair<QString, QString>> m_news;
};

ResultLists::ResultLists(QObject* parent)
    : QObject(parent)
{
    for (ResultList list : AllResultLists) {
        m_models[index(list)] = new Model(this);
        m_captions[index(list)] = idleCaption(list);
    }
}

ResultLists::~ResultLists() = default;

QStringListModel* ResultLists::model(ResultList list) const
{
    return m_models[index(list)];
}

QStringList ResultLists::entries(ResultList list) const
{
    return model(list)->stringList();
}

int ResultLists::entryCount(ResultList list) const
{
    return model(list)->rowCount();
}

qint64 ResultLists::counter(ResultList list) const
{
    return m_counters[index(list)];
}

QString ResultLists::caption(ResultList list) const
{
    return m_captions[index(list)];
}

std::optional<ResultList> ResultLists::addAvailableName(const QString& domain, bool* added, bool unconfirmed)
{
    if (added)
        *added = false;
    if (domain.isEmpty() || isBareExtension(domain))
        return std::nullopt;
    const qsizetype dot = domain.indexOf(QLatin1Char('.'));
    const ResultList list = profileForLabelLength(dot < 0 ? domain.size() : dot);
    // The caption is written once, when the list holds the name.
    setCounter(list, counter(list) + 1, false);
    // Found again, the name keeps the latest word on whether anyone confirmed it.
    m_models[index(list)]->mark(domain, unconfirmed);
    if (contains(list, domain)) {
        refreshCaption(list);
        return list;
    }
    appendEntry(list, domain);
    if (added)
        *added = true;
    Q_EMIT availableNameFiled(list, domain);
    return list;
}

bool ResultLists::contains(ResultList list, const QString& domain) const
{
    return m_names[index(list)].contains(domain);
}

void ResultLists::appendEntry(ResultList list, const QString& name)
{
    QStringListModel* m = model(list);
    const int row = m->rowCount();
    m->insertRows(row, 1);
    m->setData(m->index(row), name);
    m_names[index(list)].insert(name);
    refreshCaption(list);
}

void ResultLists::setEntries(ResultList list, const QStringList& names)
{
    model(list)->setStringList(names);
    m_names[index(list)] = QSet<QString>(names.cbegin(), names.cend());
}

void ResultLists::refreshCaption(ResultList list)
{
    setCaption(list, countedCaption(list, entryCount(list), counter(list)));
}

bool ResultLists::addRegisteredName(const QString& domain)
{
    if (domain.isEmpty() || isBareExtension(domain))
        return false;
    QStringListModel* registered = model(ResultList::Registered);
    // Only the latest taken names are worth showing; they are never written anywhere.
    if (registered->rowCount() >= RegisteredShownMax)
        setEntries(ResultList::Registered, {});
    setCounter(ResultList::Registered, counter(ResultList::Registered) + 1, false);
    if (contains(ResultList::Registered, domain))
        refreshCaption(ResultList::Registered);
    else
        appendEntry(ResultList::Registered, domain);
    return true;
}

void ResultLists::resetCounters()
{
    for (ResultList list : AllResultLists) {
        if (hasCounter(list))
            setCounter(list, 0, true);
    }
}

void ResultLists::resetResultLists()
{
    for (ResultList list : AllResultLists) {
        if (!hasCounter(list))
            continue;
        setCounter(list, 0, false);
        m_models[index(list)]->forgetMarks();
        if (entryCount(list) > 0) {
            setEntries(list, {});
            Q_EMIT listEdited(list);
        }
    }
}

bool ResultLists::deleteEntry(ResultList list, int row)
{
    QStringListModel* m = model(list);
    if (row < 0 || row >= m->rowCount())
        return false;
    const QString name = m->index(row).data().toString();
    m_names[index(list)].remove(name);
    m_models[index(list)]->forgetNews(name);
    m->removeRows(row, 1);
    // An entry from before Start was never counted: the count of this search stays at 0 or more.
    if (hasCounter(list))
        setCounter(list, std::max<qint64>(0, counter(list) - 1), true);
    Q_EMIT listEdited(list);
    return true;
}

void ResultLists::clear(ResultList list)
{
    m_models[index(list)]->forgetMarks();
    setEntries(list, {});
    if (hasCounter(list)) {
        setCounter(list, 0, false);
        setCaption(list, idleCaption(list));
    }
    Q_EMIT listEdited(list);
}

qsizetype ResultLists::appendSaved(const QStringList& names)
{
    QStringList fresh;
    QSet<QString> taken = m_names[index(ResultList::Saved)];
    for (const QString& name : names) {
        if (!taken.contains(name)) {
            taken.insert(name);
            fresh.append(name);
        }
    }
    if (fresh.isEmpty())
        return 0;
    QStringListModel* saved = model(ResultList::Saved);
    const int first = saved->rowCount();
    saved->insertRows(first, static_cast<int>(fresh.size()));
    for (qsizetype i = 0; i < fresh.size(); ++i)
        saved->setData(saved->index(first + static_cast<int>(i)), fresh.at(i));
    m_names[index(ResultList::Saved)] = std::move(taken);
    Q_EMIT listEdited(ResultList::Saved);
    return fresh.size();
}

bool ResultLists::markNews(const QString& domain, const QString& what, const QString& whole)
{
    if (!contains(ResultList::Saved, domain))
        return false;
    m_models[index(ResultList::Saved)]->setNews(domain, what, whole);
    return true;
}

void ResultLists::markSeen(const QString& domain)
{
    m_models[index(ResultList::Saved)]->forgetNews(domain);
}

int ResultLists::newsCount() const
{
    return m_models[index(ResultList::Saved)]->newsCount();
}

void ResultLists::setSaved(const QStringList& names)
{
    // A file with a name twice (edited by hand, or from before doubles were kept out) lists it once.
    QStringList once = names;
    once.removeDuplicates();
    setEntries(ResultList::Saved, once);
    Q_EMIT listEdited(ResultList::Saved);
}

void ResultLists::setCounter(ResultList list, qint64 value, bool writeCaption)
{
    m_counters[index(list)] = value;
    if (writeCaption)
        refreshCaption(list);
}

void ResultLists::setCaption(ResultList list, const QString& caption)
{
    QString& current = m_captions[index(list)];
    if (current == caption)
        return;
    current = caption;
    Q_EMIT captionChanged(list, caption);
}

} // namespace brisquel
