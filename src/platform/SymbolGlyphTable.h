#pragma once

// The compiled-in table from symbol name to icon file of the glyph provider.
extern const char* const symbolGlyphTableText;
