#pragma once

#include <QLabel>

namespace brisquel {

// A label that wraps at word boundaries and asks its layout for the height its lines take at the
// width it was given; a grid asks a label that shares width for one line only.
class WrappingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit WrappingLabel(const QString& text = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace brisquel
