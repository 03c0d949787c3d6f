#include "overflow_notice.h"

#include "widget_helpers.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisquel {

OverflowNotice::OverflowNotice(QWidget* parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("File backup"));

    auto* text = namedLabel(noticeText(), "Label1", this);
    text->setWordWrap(true);
    text->setMinimumWidth(320);

    auto* okButton = namedButton(QStringLiteral("Ok"), "Command1", nullptr, this);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

QString OverflowNotice::noticeText()
{
    return QStringLiteral("One of your lists has reached 20000 entries.  They have been saved and cleared.  "
                          "You may find your backed up lists in the brisquel /overflow/ directory.");
}

} // namespace brisquel
