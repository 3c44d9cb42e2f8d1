#include "model/PlmMapDecodingDepth.h"

#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"

namespace {
thread_local int t_groupDepth = 0; // depth of the entities being decoded
thread_local int t_mapNesting = 0; // maps being decoded, the document's own included
constexpr int kMaximumMapNesting = 3;
} // namespace

PlmMapDecodingDepth::PlmMapDecodingDepth(bool map, int savedGroupDepth)
    : m_map(map)
    , m_savedGroupDepth(savedGroupDepth)
{
}

PlmMapDecodingDepth::PlmMapDecodingDepth(PlmMapDecodingDepth&& other) noexcept
    : m_map(other.m_map)
    , m_savedGroupDepth(other.m_savedGroupDepth)
{
    other.m_active = false;
}

PlmMapDecodingDepth PlmMapDecodingDepth::enterGroupMembers()
{
    if (t_groupDepth + 1 > PlmMapCodec::maximumGroupDepth)
        throw PlmMapError::invalid(QStringLiteral("Groupes trop profondément imbriqués."));
    ++t_groupDepth;
    return PlmMapDecodingDepth(false, t_groupDepth - 1);
}

PlmMapDecodingDepth PlmMapDecodingDepth::enterMap()
{
    if (t_mapNesting + 1 > kMaximumMapNesting)
        throw PlmMapError::invalid(QStringLiteral("Symbole SVG sans tracés vectoriels."));
    ++t_mapNesting;
    const int saved = t_groupDepth;
    t_groupDepth = 0;
    return PlmMapDecodingDepth(true, saved);
}

PlmMapDecodingDepth::Level PlmMapDecodingDepth::currentLevel()
{
    return Level{t_groupDepth, t_mapNesting};
}

PlmMapDecodingDepth::AdoptedLevel::AdoptedLevel(Level level)
    : m_saved(currentLevel())
{
    t_groupDepth = level.groupDepth;
    t_mapNesting = level.mapNesting;
}

PlmMapDecodingDepth::AdoptedLevel::~AdoptedLevel()
{
    t_groupDepth = m_saved.groupDepth;
    t_mapNesting = m_saved.mapNesting;
}

PlmMapDecodingDepth::~PlmMapDecodingDepth()
{
    if (!m_active)
        return;
    t_groupDepth = m_savedGroupDepth;
    if (m_map)
        --t_mapNesting;
}
