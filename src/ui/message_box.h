#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <optional>
#include <utility>

namespace brisquel {

// Every message box of the program goes through here, so that tests can answer a box in
// advance instead of clicking a modal dialog.
class MessageBox
{
public:
    using Button = QMessageBox::StandardButton;

    struct Shown
    {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    // captions: words of the program's own for some of the buttons ("Keep checking").
    static Button show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                       QMessageBox::StandardButtons buttons, Button defaultButton = QMessageBox::NoButton,
                       const QList<std::pair<Button, QString>>& captions = {});
    // Sets the default button and the program's own captions. A button with a caption of ours loses
    // the style's picture for the standard meaning it no longer has (no red cross on "Keep checking").
    static void applyButtons(QMessageBox* box, Button defaultButton,
                             const QList<std::pair<Button, QString>>& captions);
    // A notice with an OK button.
    static void information(QWidget* parent, const QString& title, const QString& text);
    // A failure the user has to do something about, with an OK button.
    static void warning(QWidget* parent, const QString& title, const QString& text);

    // The next box is not shown; it answers this at once.
    static void setNextAnswer(Button answer);
    // Every box asked for so far, answered in advance or not.
    static const QList<Shown>& shown();
    static void clearShown();

private:
    static std::optional<Button> s_nextAnswer;
    static QList<Shown> s_shown;
};

} // namespace brisquel
