#pragma once

// One row of a settings group: a caption at the left and its field at fieldX, the caption being
// the field's buddy and, without its accelerator and colon, its name for screen readers.

#include <QLabel>
#include <QString>
#include <QWidget>

namespace pulo {

inline void CaptionedRow(QWidget* group, const char* caption, int y, QWidget* field, int fieldX, int width)
{
    auto* label = new QLabel(QString::fromLatin1(caption), group);
    label->setGeometry(16, y + 2, fieldX - 20, 20);
    label->setBuddy(field);
    field->setGeometry(fieldX, y, width, 22);
    field->setAccessibleName(QString::fromLatin1(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
}

} // namespace pulo
