#pragma once

#include <QLabel>

namespace brisquel {

// A one-line label that shows as much of its text as fits and ends the rest in "…"; text()
// keeps the whole text. It never widens its window, whatever the text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    bool isElided() const;
    // The width at which `text` shows whole.
    int widthFor(const QString& text) const;

    QSize minimumSizeHint() const override;
    // The width asked of the layout whatever the text, so that nothing beside moves when it changes;
    // 0 (the default) asks for the whole text.
    void setHintWidth(int width);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;
    int padding() const;
    QString shownText() const;

    int m_hintWidth = 0;
};

} // namespace brisquel
