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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;
    int padding() const;
    QString shownText() const;
};

} // namespace brisquel
