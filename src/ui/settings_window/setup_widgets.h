#pragma once

#include "ui/widget_helpers.h"

#include <QCheckBox>
#include <QLineEdit>

namespace brisquel {

// A check box of the Setup window, with its object name and tooltip.
inline QCheckBox* setupCheckBox(const QString& caption, const char* name, const QString& tip, QWidget* parent)
{
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setToolTip(tip);
    return box;
}

// A hint must be read whole: the field is at least as wide as the hint it shows when empty.
inline void fitPlaceholder(QLineEdit* field)
{
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(field->placeholderText()) +
                           4 * field->fontMetrics().averageCharWidth());
}

} // namespace brisquel
