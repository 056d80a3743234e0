#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

// Windows laid out the way their designer placed them: fixed pixel bounds
// and object names equal to the control names.

template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

// A label that sizes itself to its caption, as the designer's labels do.
inline QLabel* PlaceLabel(QWidget* parent, const char* name, const QString& caption, int left, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}
