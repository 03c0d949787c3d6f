#include "generator_window.h"

#include "file_dialog.h"
#include "message_box.h"
#include "support/app_info.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"
#include "widget_helpers.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

namespace brisquel {

GeneratorWindow::GeneratorWindow(DataFolder folder, SettingsStore* settings, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_folder(std::move(folder))
    , m_settings(settings)
    , m_appends(m_folder.path(QStringLiteral("Appends.txt")))
{
    setObjectName(QStringLiteral("frmMake"));
    setWindowTitle(QStringLiteral("Domain Name Creator"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    arrange();
    restoreSettings();
    fillWords();

    for (int i = 0; i < GeneratorExtensionCount; ++i)
        connect(m_extensionBoxes[size_t(i)], &QCheckBox::toggled, this, [this, i](bool checked) {
            m_settings->setFlag(SettingKeys::generatorExtension(i), checked);
        });
    for (int i = 0; i < int(m_formBoxes.size()); ++i)
        connect(m_formBoxes[size_t(i)], &QCheckBox::toggled, this,
                [this, i](bool checked) { m_settings->setFlag(SettingKeys::generatorForm(i), checked); });
    connect(m_baseWordEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings->setValue(SettingKeys::generatorBaseWord(), text); });
    connect(m_customExtensionEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_settings->setValue(SettingKeys::generatorCustomExtension(), text);
    });
    connect(m_baseWordEdit, &QLineEdit::returnPressed, this, &GeneratorWindow::startGenerator);
    connect(m_wordEdit, &QLineEdit::returnPressed, this, &GeneratorWindow::addWord);
    connect(m_addButton, &QPushButton::clicked, this, &GeneratorWindow::addWord);
    connect(m_deleteButton, &QPushButton::clicked, this, &GeneratorWindow::removeWord);
    connect(m_startButton, &QPushButton::clicked, this, &GeneratorWindow::startGenerator);
    connect(m_saveAsButton, &QPushButton::clicked, this, &GeneratorWindow::saveDomainsAs);
}

void GeneratorWindow::buildControls()
{
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        m_extensionBoxes[size_t(i)] =
            named(new QCheckBox(generatorExtensionCaption(i), this), QStringLiteral("chkExt%1").arg(i));
    const char* const forms[] = {"Prefixes", "Suffixes", "Hyphens"};
    for (int i = 0; i < 3; ++i)
        m_formBoxes[size_t(i)] =
            named(new QCheckBox(QString::fromLatin1(forms[i]), this), QStringLiteral("chkAdd%1").arg(i));
    m_customExtensionEdit = named(new QLineEdit(QStringLiteral(".co.uk"), this), "txtCustom");
    m_baseWordEdit = named(new QLineEdit(this), "Text1");
    m_baseWordEdit->setToolTip(QStringLiteral("This word will appear in every domain created."));
    m_wordEdit = named(new QLineEdit(this), "Text2");
    m_wordList = named(new QListWidget(this), "List2");
    m_addButton = namedButton(QStringLiteral("Add"), "cmdAdd", "Add your word.", this);
    m_deleteButton = namedButton(QStringLiteral("Del"), "cmdSub", "Remove the selected word.", this);
    m_startButton = namedButton(QStringLiteral("Start Generator"), "Command1",
                                "Once you have a base word, click here to create your list!", this);
    m_saveAsButton =
        namedButton(QStringLiteral("Save Domains As..."), "Command2", "Save your list as a text file.", this);
    m_status = named(new QLineEdit(QStringLiteral("Status..."), this), "txtStatus");
    m_status->setReadOnly(true);
    m_generatedView = named(new QListView(this), "List1");
    // A run may make hundreds of thousands of names: a model with uniform rows keeps that quick.
    m_generated = new QStringListModel(this);
    m_generatedView->setModel(m_generated);
    m_generatedView->setUniformItemSizes(true);
    m_generatedView->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void GeneratorWindow::arrange()
{
    auto* words = new QGridLayout;
    words->addWidget(namedLabel(QStringLiteral("Base Word:"), "Label1", this), 0, 0);
    words->addWidget(m_baseWordEdit, 0, 1, 1, 2);
    words->addWidget(namedLabel(QStringLiteral("Prefix/Suffix:"), "Label2", this), 1, 0);
    words->addWidget(m_wordEdit, 1, 1);
    words->addWidget(m_addButton, 1, 2);

    auto* prefixes = named(new QGroupBox(QStringLiteral("Prefixes/Suffixes"), this), "framePrefixes");
    auto* prefixLayout = new QVBoxLayout(prefixes);
    prefixLayout->addWidget(m_wordList);
    prefixLayout->addWidget(m_deleteButton, 0, Qt::AlignRight);

    auto* extensions = new QGroupBox(QStringLiteral("Extensions"), this);
    auto* extensionGrid = new QGridLayout(extensions);
    for (int i = 0; i < CustomExtensionIndex; ++i)
        extensionGrid->addWidget(m_extensionBoxes[size_t(i)], i / 4, i % 4);
    extensionGrid->addWidget(m_extensionBoxes[CustomExtensionIndex], 2, 0, 1, 2);
    extensionGrid->addWidget(m_customExtensionEdit, 2, 2, 1, 2);

    auto* combinations = new QGroupBox(QStringLiteral("Combinations"), this);
    auto* combinationRow = new QHBoxLayout(combinations);
    for (QCheckBox* box : m_formBoxes)
        combinationRow->addWidget(box);

    auto* left = new QVBoxLayout;
    left->addLayout(words);
    left->addWidget(prefixes, 1);
    left->addWidget(extensions);
    left->addWidget(combinations);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(m_startButton);
    runRow->addWidget(m_saveAsButton);
    left->addLayout(runRow);
    left->addWidget(m_status);

    auto* generated = named(new QGroupBox(QStringLiteral("Generated Domains"), this), "frameGenerated");
    auto* generatedLayout = new QVBoxLayout(generated);
    generatedLayout->addWidget(m_generatedView);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addWidget(generated, 2);
    resize(720, 520);
    setMinimumSize(520, 420);
}

void GeneratorWindow::restoreSettings()
{
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        m_extensionBoxes[size_t(i)]->setChecked(m_settings->flag(SettingKeys::generatorExtension(i)));
    for (int i = 0; i < int(m_formBoxes.size()); ++i)
        m_formBoxes[size_t(i)]->setChecked(m_settings->flag(SettingKeys::generatorForm(i)));
    m_baseWordEdit->setText(m_settings->value(SettingKeys::generatorBaseWord()));
    m_customExtensionEdit->setText(m_settings->value(SettingKeys::generatorCustomExtension()));
}

void GeneratorWindow::fillWords()
{
    QString error;
    if (m_appends.ensureExists(&error))
        m_status->setText(error.isEmpty()
                              ? QStringLiteral("Appends.txt was missing; it now holds the starter words.")
                              : error);
    m_wordList->clear();
    m_wordList->addItems(m_appends.words());
}

QStringList GeneratorWindow::generatedNames() const
{
    return m_generated->stringList();
}

QString GeneratorWindow::createdDomainsPath() const
{
    return m_folder.path(QStringLiteral("CreatedDomains.txt"));
}

GeneratorOptions GeneratorWindow::options() const
{
    GeneratorOptions options;
    options.baseWord = m_baseWordEdit->text();
    options.words = m_appends.words();
    options.prefixes = m_formBoxes[0]->isChecked();
    options.suffixes = m_formBoxes[1]->isChecked();
    options.hyphens = m_formBoxes[2]->isChecked();
    std::array<bool, GeneratorExtensionCount> checked{};
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        checked[size_t(i)] = m_extensionBoxes[size_t(i)]->isChecked();
    options.extensions = GeneratorOptions::boxExtensions(checked, m_customExtensionEdit->text());
    return options;
}

void GeneratorWindow::setInputsEnabled(bool enabled)
{
    for (QWidget* widget : QList<QWidget*>{m_customExtensionEdit, m_baseWordEdit, m_wordEdit, m_startButton,
                                           m_saveAsButton, m_addButton, m_deleteButton})
        widget->setEnabled(enabled);
    for (QCheckBox* box : m_extensionBoxes)
        box->setEnabled(enabled);
    for (QCheckBox* box : m_formBoxes)
        box->setEnabled(enabled);
}

void GeneratorWindow::startGenerator()
{
    if (!m_startButton->isEnabled())
        return;
    m_appends.ensureExists();
    const GeneratorOptions run = options();
    if (run.words.isEmpty()) {
        MessageBox::information(this, AppInfo::productTitle(),
                                QStringLiteral("Add a word to the Prefixes/Suffixes list first."));
        return;
    }
    setInputsEnabled(false);
    const QStringList names = generateNames(run);
    m_status->setText(QStringLiteral("Created %1 domains...  Sorting...").arg(names.size()));
    // Later runs in the same window add to the list; the file always holds the whole list, each
    // name once.
    const QStringList all = withoutDoubles(m_generated->stringList() + names);
    QString error;
    if (!writeCreatedDomains(createdDomainsPath(), all, &error)) {
        setInputsEnabled(true);
        m_status->setText(QStringLiteral("Status..."));
        MessageBox::warning(this, AppInfo::productTitle(), error);
        return;
    }
    m_generated->setStringList(all);
    m_status->setText(QStringLiteral("Created %1 domains...  Search Started").arg(names.size()));
    setInputsEnabled(true);
    Q_EMIT namesCreated(all.size());
}

void GeneratorWindow::addWord()
{
    QString error;
    if (!m_appends.add(m_wordEdit->text(), &error)) {
        MessageBox::warning(this, AppInfo::productTitle(), error);
        return;
    }
    m_wordList->addItem(m_wordEdit->text());
    m_wordEdit->clear();
}

void GeneratorWindow::removeWord()
{
    QListWidgetItem* item = m_wordList->currentItem();
    if (!item || !item->isSelected()) {
        MessageBox::information(this, AppInfo::productTitle(),
                                QStringLiteral("You must first select an item to remove from the list."));
        return;
    }
    QString error;
    if (!m_appends.remove(item->text(), &error)) {
        MessageBox::warning(this, AppInfo::productTitle(), error);
        return;
    }
    // Refilled from the file, so that a word stored twice leaves both.
    fillWords();
}

void GeneratorWindow::saveDomainsAs()
{
    const QString folder = m_folder.path(QStringLiteral("CustomLists"));
    QDir().mkpath(folder);
    const QString target = FileDialog::getSaveFileName(
        this, QStringLiteral("Save Domains As"),
        folder + QLatin1Char('/') + m_baseWordEdit->text() + QStringLiteral(".txt"), QStringLiteral("*.txt"));
    if (target.isEmpty() || QFileInfo(target) == QFileInfo(createdDomainsPath()))
        return;
    if (!QFileInfo::exists(createdDomainsPath())) {
        MessageBox::warning(this, AppInfo::productTitle(),
                            QStringLiteral("There is no list to save yet: press Start Generator first."));
        return;
    }
    if (!copyFileTo(createdDomainsPath(), target))
        MessageBox::warning(this, AppInfo::productTitle(),
                            QStringLiteral("Cannot save the list as %1.").arg(target));
}

void GeneratorWindow::showSearchEnded(const QString& summary)
{
    m_status->setText(summary);
    // Whole in the tooltip when the window is too narrow for it.
    m_status->setToolTip(summary);
    m_status->setCursorPosition(0);
}

} // namespace brisquel
