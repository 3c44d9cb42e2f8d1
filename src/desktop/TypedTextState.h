#pragma once

#include <QObject>

// What a field that stores its typed text says of it to the typing hook: whether the person
// changed its text since it last showed the stored value, and nothing took that change yet.
// The field's own direct child; holding the focus is no typing.
class TypedTextState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isBeingTyped() const = 0;

    // The state of a field, or nullptr for a plain one.
    static const TypedTextState* of(const QObject* field)
    {
        return field ? field->findChild<const TypedTextState*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    }
};
