#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

// A popup item chosen and a field's text entered as a person does, so that the controls' own
// signals follow: `activated` for the popup, `editingFinished` for the field.
inline void choose(QComboBox* popup, int index)
{
    popup->setCurrentIndex(index);
    emit popup->activated(index);
}

inline void choose(QComboBox* popup, const QString& item)
{
    const int index = popup->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    choose(popup, index);
}

inline void type(QLineEdit* field, const QString& text)
{
    field->setText(text);
    emit field->editingFinished();
}
