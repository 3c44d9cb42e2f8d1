#pragma once

#include "tables/PlmInputTable.h"
#include "tables/PlmMatchCandidate.h"
#include "tables/PlmMatchResolution.h"
#include "tables/PlmMatchRow.h"
#include "model/PlmMap.h"
#include "model/PlmVariable.h"
#include "model/PlmVariableType.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

// Chosen columns to import with their types, in ascending column order.
using PlmMatchColumns = QMap<int, PlmVariableType>;

// The match of a table to the top-level entities of a base map: which column identifies the
// entities through which property (the candidates, best first), what each row resolves to, and
// the variables an import builds. Immutable once built; copies are cheap.
//
// Key fields: "id", the attributes whose names look like codes, "name", then the other
// attributes whose values tell every entity apart.
//
// Every cell and entity key is normalised and looked up once at construction; scoring,
// resolving and the tie test then walk flat tables, without hashing texts.
class PlmMatch {
public:
    // Normalised key -> entity ids, in map order.
    using EntityIndex = QHash<QString, QStringList>;

    PlmMatch(const PlmInputTable& table, const PlmMap& map);

    const PlmInputTable& table() const { return m_table; }
    const PlmMap& map() const { return m_map; }
    const QList<PlmMatchCandidate>& candidates() const { return m_candidates; }
    // Another candidate as good as the first resolves the rows differently: the user chooses.
    bool tiedBestColumns() const { return m_tiedBestColumns; }
    // The candidate with this column and field, if the match has one.
    const PlmMatchCandidate* candidate(int column, const QString& field) const;

    // One resolution per data row, in row order.
    QList<PlmMatchRow> resolutions(const PlmMatchCandidate& candidate, const PlmMatchCorrections& corrections) const;
    // Settles the given rows against the entities of one geometry kind ("surface", "line",
    // "point") when the key cell names exactly one of them; other rows are left out.
    PlmMatchCorrections batchCorrections(const QList<int>& rows, const PlmMatchCandidate& candidate,
                                         const QString& kind) const;
    // Checks the import and builds the new variables in ascending column order; throws
    // PlmWorkError with the French reason, building nothing.
    QList<PlmVariable> importedVariables(const PlmMatchCandidate& candidate, const PlmMatchCorrections& corrections,
                                         const PlmMatchColumns& columns,
                                         const QList<PlmVariable>& existingVariables) const;

    // The entity ids each row names through this column and field (with the fallback through
    // the name-like columns for fields other than "name").
    QList<QStringList> rowMatches(int column, const QString& field) const;
    // One new variable from a column; its normalised name joins `usedNames`.
    PlmVariable makeVariable(int column, QSet<QString>& usedNames, const PlmMatchColumns& columns,
                             const QList<PlmMatchRow>& resolutions) const;

    // "Identifiant", "Nom", or the attribute's name.
    static QString fieldLabel(const QString& field);
    // The comparison form of every key, cell and name: folded without case and accents, with
    // every white space removed (punctuation, hyphens and apostrophes stay).
    static QString normalizedKey(const QString& text);
    // An attribute whose name looks like a code ("code", "insee", "iso", "nuts", "adm",
    // "geoid", "id", "…_id") serves as a key field.
    static bool isKeyAttributeName(const QString& name);
    // Normalised key -> ids of the entities whose `field` has that key, area entities preferred
    // (except for "id"); blank keys are left out.
    static EntityIndex entityIndex(const PlmEntityList& entities, const QString& field);
    static EntityIndex entityIndex(const QList<const PlmEntity*>& entities, const QString& field);

    // The table and the map decide everything else.
    bool operator==(const PlmMatch& other) const
    {
        return m_table == other.m_table && m_map == other.m_map && m_candidates == other.m_candidates
            && m_tiedBestColumns == other.m_tiedBestColumns;
    }

private:
    struct Cache;
    // Whether two candidates name the same entities on every row.
    bool sameRowMatches(const PlmMatchCandidate& a, const PlmMatchCandidate& b) const;

    PlmInputTable m_table;
    PlmMap m_map;
    QList<PlmMatchCandidate> m_candidates;
    bool m_tiedBestColumns = false;
    std::shared_ptr<const Cache> m_cache;
};
