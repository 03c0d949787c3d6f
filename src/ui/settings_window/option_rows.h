#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace brisquel {

class ExtensionSettings;

// How often the saved names are checked while the program runs, and a check at once.
class SavedNamesRow : public QWidget
{
    Q_OBJECT
public:
    explicit SavedNamesRow(ExtensionSettings* settings, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;

Q_SIGNALS:
    void checkNowRequested();

private:
    QSpinBox* m_watchHoursBox = nullptr;
    QPushButton* m_checkNowButton = nullptr;
};

// What a double-click on a name opens: the purchase page, or the WHOIS record.
class DoubleClickRow : public QWidget
{
    Q_OBJECT
public:
    explicit DoubleClickRow(ExtensionSettings* settings, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;

private:
    QComboBox* m_choiceBox = nullptr;
};

// The extension a word list's names and names without one are asked with.
class DefaultExtensionRow : public QWidget
{
    Q_OBJECT
public:
    explicit DefaultExtensionRow(ExtensionSettings* settings, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;
    // The field as typed becomes the stored form (".com" for "com") once the user leaves it.
    void extensionLeft();

private:
    ExtensionSettings* m_settings;
    QLineEdit* m_extensionEdit = nullptr;
};

} // namespace brisquel
