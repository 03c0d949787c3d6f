#include "message_box.h"

#include <QAbstractButton>
#include <QIcon>

namespace brisquel {

std::optional<MessageBox::Button> MessageBox::s_nextAnswer;
QList<MessageBox::Shown> MessageBox::s_shown;

MessageBox::Button MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons,
                                    Button defaultButton, const QList<std::pair<Button, QString>>& captions)
{
    s_shown.append({title, text, buttons, icon});
    if (s_nextAnswer) {
        const Button answer = *s_nextAnswer;
        s_nextAnswer.reset();
        return answer;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    applyButtons(&box, defaultButton, captions);
    return static_cast<Button>(box.exec());
}

void MessageBox::applyButtons(QMessageBox* box, Button defaultButton,
                              const QList<std::pair<Button, QString>>& captions)
{
    if (defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(defaultButton);
    for (const auto& [button, caption] : captions) {
        if (QAbstractButton* shown = box->button(button)) {
            shown->setText(caption);
            shown->setIcon(QIcon());
        }
    }
}

void MessageBox::information(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    show(parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBox::setNextAnswer(Button answer)
{
    s_nextAnswer = answer;
}

const QList<MessageBox::Shown>& MessageBox::shown()
{
    return s_shown;
}

void MessageBox::clearShown()
{
    s_shown.clear();
    s_nextAnswer.reset();
}

} // namespace brisquel
