#pragma once

#include "engine/filing/result_list_id.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <array>
#include <optional>

class QStringListModel;

namespace brisquel {

// The five result lists with their counters and captions. The models can be shown by list
// views directly; every change goes through this class so that counters and files follow.
class ResultLists : public QObject
{
    Q_OBJECT
public:
    static constexpr int RegisteredShownMax = 101;
    // A free name's model data under this role: true when nobody but WHOIS said it is free.
    static constexpr int UnconfirmedRole = Qt::UserRole + 1;
    // A saved name's news from the watch list ("came free"), until the user has seen it; its
    // tooltip tells the whole change.
    static constexpr int NewsRole = Qt::UserRole + 2;

    explicit ResultLists(QObject* parent = nullptr);
    ~ResultLists() override;

    QStringListModel* model(ResultList list) const;
    QStringList entries(ResultList list) const;
    int entryCount(ResultList list) const;
    qint64 counter(ResultList list) const;
    QString caption(ResultList list) const;

    // Files an available name into High, Mid or Low Profile by the length of its label.
    // Returns the list it belongs to; ".com" and ".net" on their own go nowhere. A name the list
    // holds already is counted as found by this search but not listed twice (*added is false). An
    // unconfirmed name carries a tool tip saying so (and UnconfirmedRole), never in its text.
    std::optional<ResultList> addAvailableName(const QString& domain, bool* added = nullptr,
                                               bool unconfirmed = false);
    // Counted; listed unless the list shows it already.
    bool addRegisteredName(const QString& domain);
    bool contains(ResultList list, const QString& domain) const;

    // Start of a search: the counters restart, the lists stay; the captions count what is listed.
    void resetCounters();
    // After an overflow: lists 1 to 4 emptied, counters zeroed, captions kept until the next filing.
    void resetResultLists();

    // Removes one entry and lowers the counter; false (nothing changes) for a bad row.
    bool deleteEntry(ResultList list, int row);
    void clear(ResultList list);

    // Names Saved Domains holds already, and repeats among them, are left out; returns how many were added.
    qsizetype appendSaved(const QStringList& names);
    // Marks a saved name with news (`what` is short, `whole` its tooltip); false when Saved Domains
    // does not hold it. The mark goes when seen or when the name leaves the list.
    bool markNews(const QString& domain, const QString& what, const QString& whole);
    void markSeen(const QString& domain);
    int newsCount() const;
    void setSaved(const QStringList& names);

Q_SIGNALS:
    void captionChanged(brisquel::ResultList list, const QString& caption);
    // An available name was added at the end of the list.
    void availableNameFiled(brisquel::ResultList list, const QString& domain);
    // Entries were removed or replaced by something other than a filing.
    void listEdited(brisquel::ResultList list);

private:
    void setCounter(ResultList list, qint64 value, bool writeCaption);
    void refreshCaption(ResultList list);
    void setCaption(ResultList list, const QString& caption);
    static int index(ResultList list) { return static_cast<int>(list) - 1; }

    void setEntries(ResultList list, const QStringList& names);
    void appendEntry(ResultList list, const QString& name);

    class Model;
    std::array<Model*, 5> m_models{};
    // What each list holds, so that a name is found without walking 20000 entries.
    std::array<QSet<QString>, 5> m_names;
    std::array<qint64, 5> m_counters{};
    std::array<QString, 5> m_captions;
};

} // namespace brisquel
