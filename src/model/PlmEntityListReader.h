#pragma once

#include "model/PlmEntityList.h"

#include <QByteArray>
#include <initializer_list>
#include <optional>
#include <string_view>

// The fast road for reading the entity list of our own documents, which is nearly all of
// their bytes: the entities are decoded straight from the text on all cores, with no JSON
// tree in between, and the small rest of the document goes through the tree as before.
//
// It is optimistic: it accepts only what the tree decoder accepts with the same result, and
// gives up (nullopt) on anything else, from a syntax error to a repeated key or a shape it
// does not read itself. The caller then decodes the whole text through the tree, which
// produces the refusal, with its message and its precedence (syntax errors anywhere first,
// then decoding errors in decoding order), exactly as before.
class PlmEntityListReader {
public:
    struct Split {
        PlmEntityList entities;
        // The document with the entity list replaced by [], for the tree decoder.
        QByteArray rest;
        // How many stretches of the list were read side by side.
        qsizetype stretches = 0;
    };

    // Stretches are cut at least this long, so that a thread's work outweighs its start, and
    // 256 at most.
    static constexpr qsizetype defaultStretchBytes = qsizetype(1) << 20;

    // Reads the entity list found by following `keys` from the root object (the first
    // member of each name, as PlmJsonValue::member() finds it): the list of the document's
    // own map, whose entities lie at group depth 0. A shorter `stretchBytes` cuts a small
    // list into many stretches, as a large one is cut.
    static std::optional<Split> read(const QByteArray& bytes, std::initializer_list<std::string_view> keys,
                                     qsizetype stretchBytes = defaultStretchBytes);
};
