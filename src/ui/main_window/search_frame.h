#pragma once

#include "sources/search_type.h"

#include <QGroupBox>
#include <optional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brisquel {

class ElidedLabel;
class StartNumberGuard;

// The main window's top frame: where the names come from (the search type, the list's start
// number and entry count, or a search string) and the buttons that drive the search. It shows
// the controls the search type and the phase of the search want; what they do is the window's.
class SearchFrame : public QGroupBox
{
    Q_OBJECT
public:
    explicit SearchFrame(QWidget* parent = nullptr);

    std::optional<SearchType> searchType() const;
    void setSearchTypeIndex(int index);
    // Shows and enables the controls as the search type and whether a search runs want them.
    void applyControlStates(std::optional<SearchType> type, bool searching);
    // The caption of the button in Start's place for "Generate names" and "Browse for names".
    void showReopenCaption(SearchType type);
    // The chosen custom list file's name beside the search type; the whole path in its tooltip.
    void showListFileName(const QString& file);
    // The website button goes beside the others when the frame is wide enough, else under them.
    void placeWebsiteButton();

    StartNumberGuard* startNumberGuard() const { return m_startNumberGuard; }
    QString startNumber() const;
    QString entryCount() const;
    void setEntryCount(qint64 count);
    QString searchString() const;
    int targetCountIndex() const;

Q_SIGNALS:
    // The user chose the search type with this index in the box.
    void searchTypeChosen(int index);
    void searchStringChanged();
    void startRequested();
    void reopenRequested();
    void stopRequested();
    void harvestRequested();
    void setupRequested();
    void websiteRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void arrange();

    QLabel* m_searchTypeLabel = nullptr;
    QComboBox* m_searchTypeBox = nullptr;
    // The chosen custom list file's name, beside the search type while "Custom List" is chosen.
    ElidedLabel* m_listFileLabel = nullptr;
    QLabel* m_startNumberLabel = nullptr;
    QLabel* m_entryCountLabel = nullptr;
    QLineEdit* m_startNumberEdit = nullptr;
    QLineEdit* m_entryCountEdit = nullptr;
    StartNumberGuard* m_startNumberGuard = nullptr;
    QPushButton* m_startButton = nullptr;
    // In Start's place for "Generate names" and "Browse for names": opens their window again.
    QPushButton* m_reopenButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLabel* m_searchStringLabel = nullptr;
    QLabel* m_targetCountLabel = nullptr;
    QLineEdit* m_searchStringEdit = nullptr;
    QComboBox* m_targetCountBox = nullptr;
    QPushButton* m_harvestButton = nullptr;
    QPushButton* m_setupButton = nullptr;
    QPushButton* m_websiteButton = nullptr;

    QGridLayout* m_searchFields = nullptr;
    QGridLayout* m_searchButtons = nullptr;
    bool m_websiteBeside = false;
};

} // namespace brisquel
