#pragma once

#include <QString>

namespace velquor {

// Gives a widget the object name tests and scripts find it by, where it is
// created: `layout->addWidget(named(new QLabel(...), "name"))`.
template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace velquor
