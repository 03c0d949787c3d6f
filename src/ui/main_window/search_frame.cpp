#include "search_frame.h"

#include "control_states.h"
#include "start_number.h"
#include "support/app_info.h"
#include "ui/elided_label.h"
#include "ui/widget_helpers.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace brisquel {

namespace {

// Keeps a control's place when its group is hidden, so that the other group takes the same place.
void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

SearchFrame::SearchFrame(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    build();
    arrange();
    m_startNumberGuard = new StartNumberGuard(m_startNumberEdit, m_entryCountEdit, this);

    connect(m_searchTypeBox, &QComboBox::activated, this, &SearchFrame::searchTypeChosen);
    connect(m_searchStringEdit, &QLineEdit::textChanged, this, &SearchFrame::searchStringChanged);
    connect(m_startButton, &QPushButton::clicked, this, &SearchFrame::startRequested);
    connect(m_reopenButton, &QPushButton::clicked, this, &SearchFrame::reopenRequested);
    connect(m_stopButton, &QPushButton::clicked, this, &SearchFrame::stopRequested);
    connect(m_harvestButton, &QPushButton::clicked, this, &SearchFrame::harvestRequested);
    connect(m_setupButton, &QPushButton::clicked, this, &SearchFrame::setupRequested);
    connect(m_websiteButton, &QPushButton::clicked, this, &SearchFrame::websiteRequested);
}

void SearchFrame::build()
{
    const QString typeTip = QStringLiteral("Select the type of search you would like to run");
    m_searchTypeLabel = namedLabel(QStringLiteral("Search Type:"), "Label6", this);
    m_searchTypeLabel->setToolTip(typeTip);
    m_searchTypeBox = named(new QComboBox(this), "Combo1");
    m_searchTypeBox->setToolTip(typeTip);
    for (SearchType type : allSearchTypes())
        m_searchTypeBox->addItem(searchTypeCaption(type));
    m_listFileLabel = named(new ElidedLabel(QString(), this), "lblListFile");
    // One width whatever the name, so that the buttons beside never move with its length; a narrow
    // window still shrinks it.
    m_listFileLabel->setHintWidth(m_listFileLabel->fontMetrics().averageCharWidth() * 20);
    m_listFileLabel->setMaximumWidth(m_listFileLabel->sizeHint().width());

    m_startNumberLabel = namedLabel(QStringLiteral("Start Number:"), "wLabel1", this);
    m_entryCountLabel = namedLabel(QStringLiteral("Of "), "wLabel2", this);
    m_startNumberEdit = named(new QLineEdit(QStringLiteral("1"), this), "txtWordNum");
    m_entryCountEdit = named(new QLineEdit(QStringLiteral("1"), this), "txtWordMax");
    m_entryCountEdit->setToolTip(QStringLiteral("The number of entries on your list."));
    m_entryCountEdit->setReadOnly(true);
    QPalette grey = m_entryCountEdit->palette();
    grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    m_entryCountEdit->setPalette(grey);

    m_searchStringLabel = namedLabel(QStringLiteral("Search String:"), "sLabel1", this);
    m_searchStringLabel->setToolTip(QStringLiteral("Enter a search string"));
    m_targetCountLabel = namedLabel(QStringLiteral("Get"), "SLabel2", this);
    m_searchStringEdit = named(new QLineEdit(this), "txtSearch");
    m_searchStringEdit->setToolTip(QStringLiteral("Enter a search string"));
    m_targetCountBox = named(new QComboBox(this), "Combo2");
    m_targetCountBox->setToolTip(QStringLiteral("The approximate number of domains to find, if available."));
    m_targetCountBox->addItems({QStringLiteral("~100 Domains"), QStringLiteral("~200 Domains"),
                                QStringLiteral("~500 Domains"), QStringLiteral("~1000 Domains")});

    m_harvestButton =
        namedButton(QStringLiteral("Search"), "cmdCreate", "Click here to start your internet search!", this);
    m_startButton =
        namedButton(QStringLiteral("Start"), "cmdDoSearch", "Click here to start searching your list.", this);
    m_reopenButton = namedButton(QStringLiteral("Open"), "cmdReopen", nullptr, this);
    m_stopButton =
        namedButton(QStringLiteral("Stop"), "Command3", "Click here to stop searching names", this);
    m_setupButton = namedButton(QStringLiteral("Setup"), "cmdSetup", nullptr, this);
    m_websiteButton = named(new QPushButton(QStringLiteral("Visit ") + AppInfo::webSiteName(), this),
                            QStringLiteral("cmdWebsite"));
}

void SearchFrame::arrange()
{
    for (QWidget* field : QList<QWidget*>{m_searchTypeBox, m_startNumberEdit, m_entryCountEdit,
                                          m_searchStringEdit, m_targetCountBox}) {
        field->setMinimumWidth(80);
        field->setMaximumWidth(160);
    }
    // A choice is never cut short, however small the window.
    for (QComboBox* combo : {m_searchTypeBox, m_targetCountBox}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumWidth(std::max(combo->minimumWidth(), combo->sizeHint().width()));
    }

    auto* fields = new QGridLayout;
    m_searchFields = fields;
    fields->setVerticalSpacing(3);
    fields->addWidget(m_searchTypeLabel, 0, 0);
    fields->addWidget(m_searchTypeBox, 0, 1);
    fields->addWidget(m_listFileLabel, 0, 2);
    fields->addWidget(m_startNumberLabel, 1, 0);
    fields->addWidget(m_searchStringLabel, 1, 0);
    fields->addWidget(m_startNumberEdit, 1, 1);
    fields->addWidget(m_searchStringEdit, 1, 1);
    fields->addWidget(m_entryCountLabel, 2, 0, Qt::AlignRight);
    fields->addWidget(m_targetCountLabel, 2, 0, Qt::AlignRight);
    fields->addWidget(m_entryCountEdit, 2, 1);
    fields->addWidget(m_targetCountBox, 2, 1);

    // Search and Start belong to groups that are never shown together, so they share a place.
    auto* buttons = new QGridLayout;
    m_searchButtons = buttons;
    buttons->setSpacing(3);
    const QList<QList<QPushButton*>> squares = {
        {m_harvestButton, m_startButton, m_reopenButton}, {m_stopButton}, {m_setupButton}};
    for (int column = 0; column < int(squares.size()); ++column) {
        for (QPushButton* square : squares.at(column)) {
            square->setMinimumSize(40, 48);
            square->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            buttons->addWidget(square, 0, column, Qt::AlignTop);
        }
    }
    for (QWidget* widget :
         QList<QWidget*>{m_listFileLabel, m_startNumberLabel, m_entryCountLabel, m_startNumberEdit,
                         m_entryCountEdit, m_startButton, m_searchStringLabel, m_targetCountLabel,
                         m_searchStringEdit, m_targetCountBox, m_harvestButton})
        keepPlaceWhenHidden(widget);
    m_websiteButton->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_websiteBeside = false;
    placeWebsiteButton();

    auto* frameLayout = new QHBoxLayout(this);
    frameLayout->setContentsMargins(6, 4, 6, 4);
    frameLayout->addLayout(fields);
    frameLayout->addSpacing(4);
    frameLayout->addLayout(buttons, 1);
}

void SearchFrame::placeWebsiteButton()
{
    // Beside the other buttons and as wide as the frame allows when its caption fits there;
    // otherwise under them, so that it never disappears.
    const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
    const QFontMetrics metrics = m_websiteButton->fontMetrics();
    const int needed = margins.left() + margins.right() + m_searchFields->sizeHint().width() + 4 +
                       std::max({m_harvestButton->sizeHint().width(), m_startButton->sizeHint().width(),
                                 m_reopenButton->sizeHint().width()}) +
                       m_stopButton->sizeHint().width() + m_setupButton->sizeHint().width() +
                       3 * m_searchButtons->spacing() + metrics.horizontalAdvance(m_websiteButton->text()) +
                       2 * metrics.averageCharWidth();
    const bool beside = contentsRect().width() >= needed;
    if (beside == m_websiteBeside && m_searchButtons->indexOf(m_websiteButton) >= 0)
        return;
    m_websiteBeside = beside;
    m_searchButtons->removeWidget(m_websiteButton);
    if (beside) {
        m_websiteButton->setMinimumHeight(48);
        m_searchButtons->addWidget(m_websiteButton, 0, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 1);
    } else {
        m_websiteButton->setMinimumHeight(0);
        m_searchButtons->addWidget(m_websiteButton, 1, 0, 1, 3, Qt::AlignTop);
        m_searchButtons->setColumnStretch(3, 0);
    }
}

void SearchFrame::resizeEvent(QResizeEvent* event)
{
    // Before the frame lays itself out anew, so that the button's place is part of that layout.
    placeWebsiteButton();
    QGroupBox::resizeEvent(event);
}

void SearchFrame::applyControlStates(std::optional<SearchType> type, bool searching)
{
    const SourceControls shown = type ? sourceControls(*type) : SourceControls{};
    const PhaseControls usable = phaseControls(searching);
    for (QWidget* widget : QList<QWidget*>{m_startNumberLabel, m_entryCountLabel, m_startNumberEdit,
                                           m_entryCountEdit, m_startButton})
        widget->setVisible(shown.listControls);
    for (QWidget* widget : QList<QWidget*>{m_searchStringLabel, m_targetCountLabel, m_searchStringEdit,
                                           m_targetCountBox, m_harvestButton})
        widget->setVisible(shown.searchControls);
    m_listFileLabel->setVisible(shown.listFileName);
    m_reopenButton->setVisible(shown.reopenButton);

    m_searchTypeBox->setEnabled(usable.chooseSource);
    m_startButton->setEnabled(usable.start);
    m_startNumberEdit->setEnabled(usable.start);
    m_stopButton->setEnabled(usable.stop);
    const bool searchControls = usable.searchControls && shown.searchControls;
    m_searchStringEdit->setEnabled(searchControls);
    m_targetCountBox->setEnabled(searchControls);
    m_harvestButton->setEnabled(searchControls && !m_searchStringEdit->text().isEmpty());
}

void SearchFrame::showReopenCaption(SearchType type)
{
    // Their windows can be closed; this button keeps a way back to them, and so to a search.
    const bool browse = type == SearchType::BrowseForNames;
    m_reopenButton->setText(browse ? QStringLiteral("Browse") : QStringLiteral("Generate"));
    // The square's minimum fits "Start"; this caption must show whole too.
    const QFontMetrics metrics = m_reopenButton->fontMetrics();
    m_reopenButton->setMinimumWidth(metrics.horizontalAdvance(m_reopenButton->text()) +
                                    2 * metrics.averageCharWidth());
    m_reopenButton->setToolTip(
        browse ? QStringLiteral("Open Browse for Domains again")
               : QStringLiteral("Open the name generator again to create and search names"));
}

void SearchFrame::showListFileName(const QString& file)
{
    m_listFileLabel->setText(file.isEmpty() ? QString() : QFileInfo(file).fileName());
    m_listFileLabel->setToolTip(QDir::toNativeSeparators(file));
}

std::optional<SearchType> SearchFrame::searchType() const
{
    return searchTypeFromCaption(m_searchTypeBox->currentText());
}

void SearchFrame::setSearchTypeIndex(int index)
{
    m_searchTypeBox->setCurrentIndex(index);
}

QString SearchFrame::startNumber() const
{
    return m_startNumberEdit->text();
}

QString SearchFrame::entryCount() const
{
    return m_entryCountEdit->text();
}

void SearchFrame::setEntryCount(qint64 count)
{
    m_entryCountEdit->setText(QString::number(count));
}

QString SearchFrame::searchString() const
{
    return m_searchStringEdit->text();
}

int SearchFrame::targetCountIndex() const
{
    return m_targetCountBox->currentIndex();
}

} // namespace brisquel
