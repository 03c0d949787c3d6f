#pragma once

#include "sources/name_generator.h"
#include "support/data_folder.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QStringListModel;

namespace brisquel {

class SettingsStore;

// frmMake: builds names from a base word, the words of Appends.txt and the chosen extensions,
// writes them to CreatedDomains.txt and hands them to the main window's search.
class GeneratorWindow : public QWidget
{
    Q_OBJECT
public:
    GeneratorWindow(DataFolder folder, SettingsStore* settings, QWidget* parent = nullptr);

    std::array<QCheckBox*, GeneratorExtensionCount> chkExt{};
    std::array<QCheckBox*, 3> chkAdd{};
    QLineEdit* txtCustom = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* framePrefixes = nullptr;
    QListWidget* List2 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdSub = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLineEdit* txtStatus = nullptr;
    QGroupBox* frameGenerated = nullptr;
    QListView* List1 = nullptr;

    QStringList generatedNames() const;
    QString createdDomainsPath() const;

public Q_SLOTS:
    void startGenerator();
    void addWord();
    void removeWord();
    void saveDomainsAs();
    // The search of the created names ended; txtStatus says how.
    void showSearchEnded(const QString& summary);

Q_SIGNALS:
    // CreatedDomains.txt holds `count` names: search them.
    void namesCreated(qint64 count);

private:
    void buildControls();
    void arrange();
    void restoreSettings();
    void fillWords();
    void setInputsEnabled(bool enabled);
    GeneratorOptions options() const;

    DataFolder m_folder;
    SettingsStore* m_settings;
    AppendsFile m_appends;
    QStringListModel* m_generated = nullptr;
};

} // namespace brisquel
