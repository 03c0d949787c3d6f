#pragma once

#include <QList>
#include <QWidget>

class QBoxLayout;
class QPushButton;

namespace brisquel {

// A row of buttons that turns into a column when the row is too narrow for their captions, so
// that the captions stay readable in a small window.
class ButtonStrip : public QWidget
{
    Q_OBJECT
public:
    explicit ButtonStrip(QWidget* parent = nullptr);

    void addButton(QPushButton* button);
    bool isStacked() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowWidth() const;

    QBoxLayout* m_layout;
    QList<QPushButton*> m_buttons;
};

} // namespace brisquel
