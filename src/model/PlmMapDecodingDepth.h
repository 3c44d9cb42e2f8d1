#pragma once

// Bounds the recursion of decoding a map, so that a hostile file nested thousands of levels
// deep is refused before the decoder (or the walks, equality and destructors after it) can
// exhaust the stack. Group depth restarts inside the small map of an SVG symbol, as in
// validation; such maps may themselves nest only a little (any nesting is invalid anyway).
class PlmMapDecodingDepth {
public:
    // Entering the members of a group: throws "Groupes trop profondément imbriqués." when
    // they would lie deeper than any valid entity.
    static PlmMapDecodingDepth enterGroupMembers();
    // Entering a map (the document's own, or an SVG symbol's).
    static PlmMapDecodingDepth enterMap();

    // The calling thread's place in the decoding, and a scope in which another thread takes
    // it over to decode part of the same list.
    struct Level {
        int groupDepth = 0;
        int mapNesting = 0;
    };
    static Level currentLevel();
    class AdoptedLevel {
    public:
        explicit AdoptedLevel(Level level);
        ~AdoptedLevel();
        AdoptedLevel(const AdoptedLevel&) = delete;
        AdoptedLevel& operator=(const AdoptedLevel&) = delete;

    private:
        Level m_saved;
    };

    PlmMapDecodingDepth(PlmMapDecodingDepth&& other) noexcept;
    ~PlmMapDecodingDepth();
    PlmMapDecodingDepth(const PlmMapDecodingDepth&) = delete;
    PlmMapDecodingDepth& operator=(const PlmMapDecodingDepth&) = delete;

private:
    PlmMapDecodingDepth(bool map, int savedGroupDepth);
    bool m_map;
    int m_savedGroupDepth;
    bool m_active = true;
};
