#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class PlmJsonValue;

// Names one object of the objects outline: an entity by its path of ids from the map's top
// level down through nested groups, a layout element by its id, or one of the two legends
// ("legend" or "secondLegend"). It travels on the clipboard and in drags as compact JSON:
// {"entity":{"_0":["A","B"]}}, {"decoration":{"_0":"d1"}}, {"legend":{"_0":"legend"}}.
struct StudioObjectReference {
    enum class Kind { entity, decoration, legend };

    Kind kind = Kind::entity;
    QStringList path; // entity
    QString id;       // decoration or legend

    static StudioObjectReference entity(const QStringList& path) { return {Kind::entity, path, {}}; }
    static StudioObjectReference decoration(const QString& id) { return {Kind::decoration, {}, id}; }
    static StudioObjectReference legend(const QString& name) { return {Kind::legend, {}, name}; }

    bool isEntity() const { return kind == Kind::entity; }
    bool isDecoration() const { return kind == Kind::decoration; }
    bool isLegend() const { return kind == Kind::legend; }
    // A layout element or a legend: the objects of the "Habillage" section.
    bool isLayoutObject() const { return kind != Kind::entity; }
    bool isTopLevelEntity() const { return kind == Kind::entity && path.size() == 1; }

    bool operator==(const StudioObjectReference&) const = default;

    // The compact JSON text (UTF-8); the identity of an outline row across rebuilds.
    QByteArray toJson() const;
    QString key() const;

    // Reads the JSON form. Keys other than the three case names are ignored; anything but
    // exactly one of them fails with "Invalid number of keys found, expected one.", and a
    // payload of the wrong type fails as well (PlmJsonDecodingError).
    static StudioObjectReference fromJson(const QByteArray& utf8);
    static StudioObjectReference fromJson(const PlmJsonValue& value);
    // The same, none for any text that does not read.
    static std::optional<StudioObjectReference> read(const QByteArray& utf8);

    // The clipboard and drag type of the JSON text.
    static const QString pasteboardType; // "ondrel.pelmorastudio.studio-object"
};
