#include "option_rows.h"

#include "ui/widget_helpers.h"
#include "ui/wrapping_label.h"
#include "whois_config/extension_settings.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace brisquel {

namespace {

// The choices of what a double-click on a name opens, by their place in the box.
enum DoubleClickChoice
{
    OpensPurchasePage,
    OpensWhoisRecord
};

QHBoxLayout* rowLayout(QWidget* row)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

} // namespace

SavedNamesRow::SavedNamesRow(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent)
{
    m_watchHoursBox = named(new QSpinBox(this), "txtWatchHours");
    m_watchHoursBox->setRange(0, 24 * 365);
    m_watchHoursBox->setSuffix(QStringLiteral(" hours"));
    // "1 hour", not "1 hours".
    connect(m_watchHoursBox, &QSpinBox::valueChanged, m_watchHoursBox, [box = m_watchHoursBox](int hours) {
        box->setSuffix(hours == 1 ? QStringLiteral(" hour") : QStringLiteral(" hours"));
    });
    m_watchHoursBox->setSpecialValueText(QStringLiteral("never"));
    m_watchHoursBox->setToolTip(
        QStringLiteral("While Brisquel runs, the Saved Domains are checked this often; a name that "
                       "came free, started to drop or got a new expiry date is announced."));
    m_checkNowButton = namedButton(QStringLiteral("Check saved names now"), "btnCheckSavedNow",
                                   "Check every name of Saved Domains now, without waiting for "
                                   "the interval.",
                                   this);

    QHBoxLayout* layout = rowLayout(this);
    layout->addWidget(namedLabel(QStringLiteral("Check saved domains every:"), "Label11", this));
    layout->addWidget(m_watchHoursBox);
    layout->addWidget(m_checkNowButton);
    layout->addStretch(1);

    connect(m_watchHoursBox, &QSpinBox::valueChanged, settings, &ExtensionSettings::setWatchHours);
    connect(m_checkNowButton, &QPushButton::clicked, this, &SavedNamesRow::checkNowRequested);
    m_watchHoursBox->setValue(settings->watchHours());
}

QList<QWidget*> SavedNamesRow::tabOrder() const
{
    return {m_watchHoursBox, m_checkNowButton};
}

DoubleClickRow::DoubleClickRow(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent)
{
    m_choiceBox = named(new QComboBox(this), "cmbDoubleClick");
    m_choiceBox->insertItem(OpensPurchasePage, QStringLiteral("its registrar's purchase page"));
    m_choiceBox->insertItem(OpensWhoisRecord, QStringLiteral("its WHOIS record"));
    m_choiceBox->setToolTip(QStringLiteral("What a double-click on a name in a result list opens. "
                                           "Right-click a name for both."));

    QHBoxLayout* layout = rowLayout(this);
    auto* label = namedLabel(QStringLiteral("A double-click on a name opens:"), "Label12", this);
    label->setBuddy(m_choiceBox);
    layout->addWidget(label);
    layout->addWidget(m_choiceBox);
    layout->addStretch(1);

    connect(m_choiceBox, &QComboBox::activated, settings,
            [settings](int choice) { settings->setPurchaseOnDoubleClick(choice == OpensPurchasePage); });
    m_choiceBox->setCurrentIndex(settings->purchaseOnDoubleClick() ? OpensPurchasePage : OpensWhoisRecord);
}

QList<QWidget*> DoubleClickRow::tabOrder() const
{
    return {m_choiceBox};
}

DefaultExtensionRow::DefaultExtensionRow(ExtensionSettings* settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
{
    m_extensionEdit = named(new QLineEdit(this), "txtDefault");
    m_extensionEdit->setMaximumWidth(90);

    QHBoxLayout* layout = rowLayout(this);
    layout->addWidget(
        named(new WrappingLabel(QStringLiteral("Use the following extension in wordlist searches "
                                               "or if no extension is present in the domain:"),
                                this),
              "Label6"),
        1);
    layout->addWidget(namedLabel(QStringLiteral("Default Extension:"), "Label5", this));
    layout->addWidget(m_extensionEdit);

    connect(m_extensionEdit, &QLineEdit::textEdited, m_settings, &ExtensionSettings::setDefaultExtension);
    connect(m_extensionEdit, &QLineEdit::editingFinished, this, &DefaultExtensionRow::extensionLeft);
    m_extensionEdit->setText(m_settings->defaultExtension());
}

QList<QWidget*> DefaultExtensionRow::tabOrder() const
{
    return {m_extensionEdit};
}

void DefaultExtensionRow::extensionLeft()
{
    const QString normalized = ExtensionSettings::normalizedDefaultExtension(m_extensionEdit->text());
    if (normalized != m_extensionEdit->text()) {
        m_extensionEdit->setText(normalized);
        m_settings->setDefaultExtension(normalized);
    }
}

} // namespace brisquel
