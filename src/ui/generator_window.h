#pragma once

#include "sources/name_generator.h"
#include "support/data_folder.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QStringListModel;

namespace brisquel {

class SettingsStore;

// The generator window: builds names from a base word, the words of Appends.txt and the chosen extensions,
// writes them to CreatedDomains.txt and hands them to the main window's search.
class GeneratorWindow : public QWidget
{
    Q_OBJECT
public:
    GeneratorWindow(DataFolder folder, SettingsStore* settings, QWidget* parent = nullptr);

    QStringList generatedNames() const;
    QString createdDomainsPath() const;

public Q_SLOTS:
    void startGenerator();
    void addWord();
    void removeWord();
    void saveDomainsAs();
    // The search of the created names ended; the status line says how.
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

    std::array<QCheckBox*, GeneratorExtensionCount> m_extensionBoxes{};
    // Prefixes, suffixes, hyphens.
    std::array<QCheckBox*, 3> m_formBoxes{};
    QLineEdit* m_customExtensionEdit = nullptr;
    QLineEdit* m_baseWordEdit = nullptr;
    QLineEdit* m_wordEdit = nullptr;
    QListWidget* m_wordList = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_saveAsButton = nullptr;
    QLineEdit* m_status = nullptr;
    QListView* m_generatedView = nullptr;
};

} // namespace brisquel
