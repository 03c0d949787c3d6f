#include "generator_window.h"

#include "file_dialog.h"
#include "message_box.h"
#include "support/app_info.h"
#include "support/file_helpers.h"
#include "support/settings_store.h"

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

namespace {

template <typename Widget>
Widget* named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton* button(const char* caption, const char* name, const char* tip, QWidget* parent)
{
    auto* result = named(new QPushButton(QString::fromLatin1(caption), parent), QString::fromLatin1(name));
    result->setToolTip(QString::fromLatin1(tip));
    return result;
}

} // namespace

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
        connect(chkExt[size_t(i)], &QCheckBox::toggled, this, [this, i](bool checked) {
            m_settings->setFlag(SettingKeys::chkExt(i), checked);
        });
    for (int i = 0; i < int(chkAdd.size()); ++i)
        connect(chkAdd[size_t(i)], &QCheckBox::toggled, this, [this, i](bool checked) {
            m_settings->setFlag(SettingKeys::chkAdd(i), checked);
        });
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings->setValue(SettingKeys::txtMake(), text); });
    connect(txtCustom, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings->setValue(SettingKeys::txtCustom(), text); });
    connect(Text1, &QLineEdit::returnPressed, this, &GeneratorWindow::startGenerator);
    connect(Text2, &QLineEdit::returnPressed, this, &GeneratorWindow::addWord);
    connect(cmdAdd, &QPushButton::clicked, this, &GeneratorWindow::addWord);
    connect(cmdSub, &QPushButton::clicked, this, &GeneratorWindow::removeWord);
    connect(Command1, &QPushButton::clicked, this, &GeneratorWindow::startGenerator);
    connect(Command2, &QPushButton::clicked, this, &GeneratorWindow::saveDomainsAs);
}

void GeneratorWindow::buildControls()
{
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        chkExt[size_t(i)] =
            named(new QCheckBox(generatorExtensionCaption(i), this), QStringLiteral("chkExt%1").arg(i));
    const char* const forms[] = {"Prefixes", "Suffixes", "Hyphens"};
    for (int i = 0; i < 3; ++i)
        chkAdd[size_t(i)] =
            named(new QCheckBox(QString::fromLatin1(forms[i]), this), QStringLiteral("chkAdd%1").arg(i));
    txtCustom = named(new QLineEdit(QStringLiteral(".co.uk"), this), QStringLiteral("txtCustom"));
    Label1 = named(new QLabel(QStringLiteral("Base Word:"), this), QStringLiteral("Label1"));
    Text1 = named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setToolTip(QStringLiteral("This word will appear in every domain created."));
    Label2 = named(new QLabel(QStringLiteral("Prefix/Suffix:"), this), QStringLiteral("Label2"));
    Text2 = named(new QLineEdit(this), QStringLiteral("Text2"));
    framePrefixes =
        named(new QGroupBox(QStringLiteral("Prefixes/Suffixes"), this), QStringLiteral("framePrefixes"));
    List2 = named(new QListWidget(framePrefixes), QStringLiteral("List2"));
    cmdAdd = button("Add", "cmdAdd", "Add your word.", this);
    cmdSub = button("Del", "cmdSub", "Remove the selected word.", this);
    Command1 = button("Start Generator", "Command1",
                      "Once you have a base word, click here to create your list!", this);
    Command2 = button("Save Domains As...", "Command2", "Save your list as a text file.", this);
    txtStatus = named(new QLineEdit(QStringLiteral("Status..."), this), QStringLiteral("txtStatus"));
    txtStatus->setReadOnly(true);
    frameGenerated =
        named(new QGroupBox(QStringLiteral("Generated Domains"), this), QStringLiteral("frameGenerated"));
    List1 = named(new QListView(frameGenerated), QStringLiteral("List1"));
    // A run may make hundreds of thousands of names: a model with uniform rows keeps that quick.
    m_generated = new QStringListModel(this);
    List1->setModel(m_generated);
    List1->setUniformItemSizes(true);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void GeneratorWindow::arrange()
{
    auto* words = new QGridLayout;
    words->addWidget(Label1, 0, 0);
    words->addWidget(Text1, 0, 1, 1, 2);
    words->addWidget(Label2, 1, 0);
    words->addWidget(Text2, 1, 1);
    words->addWidget(cmdAdd, 1, 2);

    auto* prefixLayout = new QVBoxLayout(framePrefixes);
    prefixLayout->addWidget(List2);
    prefixLayout->addWidget(cmdSub, 0, Qt::AlignRight);

    auto* extensions = new QGroupBox(QStringLiteral("Extensions"), this);
    auto* extensionGrid = new QGridLayout(extensions);
    for (int i = 0; i < CustomExtensionIndex; ++i)
        extensionGrid->addWidget(chkExt[size_t(i)], i / 4, i % 4);
    extensionGrid->addWidget(chkExt[CustomExtensionIndex], 2, 0, 1, 2);
    extensionGrid->addWidget(txtCustom, 2, 2, 1, 2);

    auto* combinations = new QGroupBox(QStringLiteral("Combinations"), this);
    auto* combinationRow = new QHBoxLayout(combinations);
    for (QCheckBox* box : chkAdd)
        combinationRow->addWidget(box);

    auto* left = new QVBoxLayout;
    left->addLayout(words);
    left->addWidget(framePrefixes, 1);
    left->addWidget(extensions);
    left->addWidget(combinations);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(Command1);
    runRow->addWidget(Command2);
    left->addLayout(runRow);
    left->addWidget(txtStatus);

    auto* generatedLayout = new QVBoxLayout(frameGenerated);
    generatedLayout->addWidget(List1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addWidget(frameGenerated, 2);
    resize(720, 520);
    setMinimumSize(520, 420);
}

void GeneratorWindow::restoreSettings()
{
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        chkExt[size_t(i)]->setChecked(m_settings->flag(SettingKeys::chkExt(i)));
    for (int i = 0; i < int(chkAdd.size()); ++i)
        chkAdd[size_t(i)]->setChecked(m_settings->flag(SettingKeys::chkAdd(i)));
    Text1->setText(m_settings->value(SettingKeys::txtMake()));
    txtCustom->setText(m_settings->value(SettingKeys::txtCustom()));
}

void GeneratorWindow::fillWords()
{
    QString error;
    if (m_appends.ensureExists(&error))
        txtStatus->setText(error.isEmpty()
                               ? QStringLiteral("Appends.txt was missing; it now holds the starter words.")
                               : error);
    List2->clear();
    List2->addItems(m_appends.words());
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
    options.baseWord = Text1->text();
    options.words = m_appends.words();
    options.prefixes = chkAdd[0]->isChecked();
    options.suffixes = chkAdd[1]->isChecked();
    options.hyphens = chkAdd[2]->isChecked();
    std::array<bool, GeneratorExtensionCount> checked{};
    for (int i = 0; i < GeneratorExtensionCount; ++i)
        checked[size_t(i)] = chkExt[size_t(i)]->isChecked();
    options.extensions = GeneratorOptions::boxExtensions(checked, txtCustom->text());
    return options;
}

void GeneratorWindow::setInputsEnabled(bool enabled)
{
    for (QWidget* widget : QList<QWidget*>{txtCustom, Text1, Text2, Command1, Command2, cmdAdd, cmdSub})
        widget->setEnabled(enabled);
    for (QCheckBox* box : chkExt)
        box->setEnabled(enabled);
    for (QCheckBox* box : chkAdd)
        box->setEnabled(enabled);
}

void GeneratorWindow::startGenerator()
{
    if (!Command1->isEnabled())
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
    txtStatus->setText(QStringLiteral("Created %1 domains...  Sorting...").arg(names.size()));
    // Later runs in the same window add to the list; the file always holds the whole list.
    QStringList all = m_generated->stringList();
    all += names;
    QString error;
    if (!writeCreatedDomains(createdDomainsPath(), all, &error)) {
        setInputsEnabled(true);
        txtStatus->setText(QStringLiteral("Status..."));
        MessageBox::warning(this, AppInfo::productTitle(), error);
        return;
    }
    m_generated->setStringList(all);
    txtStatus->setText(QStringLiteral("Created %1 domains...  Search Started").arg(names.size()));
    setInputsEnabled(true);
    Q_EMIT namesCreated(all.size());
}

void GeneratorWindow::addWord()
{
    QString error;
    if (!m_appends.add(Text2->text(), &error)) {
        MessageBox::warning(this, AppInfo::productTitle(), error);
        return;
    }
    List2->addItem(Text2->text());
    Text2->clear();
}

void GeneratorWindow::removeWord()
{
    QListWidgetItem* item = List2->currentItem();
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
        folder + QLatin1Char('/') + Text1->text() + QStringLiteral(".txt"), QStringLiteral("*.txt"));
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
    txtStatus->setText(summary);
    // Whole in the tooltip when the window is too narrow for it.
    txtStatus->setToolTip(summary);
    txtStatus->setCursorPosition(0);
}

} // namespace brisquel
