// What the writer changes on its own, as pure functions on copies of records:
// the values a record is written with. The writer walks the result; the
// read-back check compares the written file with it. The document itself is
// never changed by a save.
#pragma once

#include <cstdint>

#include "jwwunit.h"

namespace qm {

namespace JwwNormalise {

// The element header of an element of the given kind (1..7, 8 for a block
// definition): older pen numbers below version 420, pen styles and colours
// outside their ranges, layer numbers above 15, pen widths above 30000.
TEntJwwEntityHeader Header(TEntJwwEntityHeader h, int32_t kind, int32_t v);

// Element records: their headers, and the "^m" pairs and control characters
// of their strings. A block insert's number is mapped by the writer, which
// knows the definitions written.
TEntJwwSen Record(TEntJwwSen e, int32_t v);
TEntJwwEnko Record(TEntJwwEnko e, int32_t v);
TEntJwwTen Record(TEntJwwTen e, int32_t v);
TEntJwwMoji Record(TEntJwwMoji e, int32_t v);
TEntJwwSunpou Record(TEntJwwSunpou e, int32_t v);
TEntJwwSolid Record(TEntJwwSolid e, int32_t v);
TEntJwwBlock Record(TEntJwwBlock e, int32_t v);
// A block definition's header (kind 8) and name; its number is mapped by the writer.
void Definition(TEntJwwBlockDef& d, int32_t v);

// The header section: signature and version, cleaned names, clamped pens,
// the eleventh switch word, the extended colours and line types.
TJwwHeaderSection HeaderSection(const TJwwHeaderSection& d, int32_t v);

// True when the writer writes a text, font name or name otherwise: without
// its "^m" pairs and control characters.
bool WritesOtherwise(const TJwwString& s);

// What a save in version v writes otherwise than the document holds it, by
// kind: everything the functions above change, and what the reader dropped
// on the way in (the records' ReadCleaned). Counted over exactly what is
// written: the header section, every remaining top-level element and every
// written block definition with its elements. An element counts once a kind.
// A rule added above is counted here too.
struct TNormalised {
  int32_t Texts = 0;     // texts' strings (a dimension's value text too)
  int32_t Fonts = 0;     // texts' font names
  int32_t Pens = 0;      // elements whose pen style, colour or width changes
  int32_t Layers = 0;    // elements whose layer or group above 15 becomes 0
  int32_t Names = 0;     // layer, group, block definition, colour and line-type names
  int32_t Settings = 0;  // header values: the pens, extended colours and line types, switches, widths
  bool Any() const noexcept { return Texts || Fonts || Pens || Layers || Names || Settings; }
  bool operator==(const TNormalised&) const = default;
};
TNormalised Changes(const TJwwData& d, int32_t v);

}  // namespace JwwNormalise

}  // namespace qm
