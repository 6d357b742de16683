// Short makers of builder elements: each element gets a layer group, a layer
// and one coordinate that tells it apart from the others.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "jwwbuilder.h"

namespace draw {

using namespace jwwtest;

inline EntHdr On(uint16_t group, uint16_t layer) {
  EntHdr h;
  h.LayerGroup = group;
  h.Layer = layer;
  return h;
}
inline Sen Line(uint16_t g, uint16_t l, double x = 0) {
  Sen e;
  e.H = On(g, l);
  e.StartX = x;
  e.EndX = x + 1;
  return e;
}
inline Enko Arc(uint16_t g, uint16_t l, double x = 0) {
  Enko e;
  e.H = On(g, l);
  e.CenterX = x;
  return e;
}
inline Ten Point(uint16_t g, uint16_t l, double x = 0) {
  Ten e;
  e.H = On(g, l);
  e.X = x;
  return e;
}
inline Moji Text(uint16_t g, uint16_t l, double x = 0, std::string text = "t") {
  Moji e;
  e.H = On(g, l);
  e.StartX = x;
  e.FontName = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
  e.Text = std::move(text);
  return e;
}
inline Sunpou Dim(uint16_t g, uint16_t l, double x = 0) {
  Sunpou e;
  e.H = On(g, l);
  e.Line.H = On(g, l);
  e.Line.StartX = x;
  e.ValueText = Text(g, l, x, "100");
  return e;
}
inline Solid Fill(uint16_t g, uint16_t l, double x = 0) {
  Solid e;
  e.H = On(g, l);
  e.StartX = x;
  return e;
}
inline Block Insert(uint16_t g, uint16_t l, int32_t number, double x = 0) {
  Block e;
  e.H = On(g, l);
  e.BlockNumber = number;
  e.X = x;
  return e;
}
inline BlockDef Def(int32_t number, std::string name, std::vector<Element> elements) {
  BlockDef d;
  d.Number = number;
  d.Name = std::move(name);
  d.Elements = std::move(elements);
  return d;
}
// A drawing of the given version whose layer group 1 is hidden and holds one line.
inline Drawing HiddenGroupDrawing(int32_t version) {
  Drawing d;
  d.Hdr.Version = version;
  d.Hdr.LayerGroups[1].State = 0;
  d.Hdr.LayerGroups[1].Name = "hidden";
  d.Elements = {Line(0, 0, 1), Line(1, 0, 2)};
  return d;
}

}  // namespace draw
