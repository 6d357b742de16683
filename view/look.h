// How every picture of a drawing looks where the drawing leaves it to the
// medium: a text's baseline in its cell, the thinnest line, and the marked
// picture (the shown drawing faint, what a conversion removes in red above
// it, a group or layer the user picked stronger still, and the mark of the
// elements lying off the sheet). Decided here once; the SVG writer and the
// window's preview only paint what these say.
#pragma once

#include <cmath>
#include <cstdint>

namespace qm::view::Look {

constexpr double BaselineRaise = 0.12;  // of a text's height: its baseline above the cell's bottom
constexpr double Hairline = 0.1;        // mm: the thinnest line drawn (a width of 0 or less)

// The marked picture.
constexpr double FaintShare = 0.35;      // of its own colour the shown drawing keeps, over the background
constexpr uint32_t HiddenColor = 0xFF0000;
constexpr double HiddenOpacity = 0.6;    // of the marked hidden material, over the faint drawing
constexpr double MarkedLine = 0.3;       // mm: the thinnest line of marked hidden material
constexpr int MarkedPixels = 2;          // the thinnest line of marked hidden material on a screen
// The hidden group or layer picked among the others: deeper, wider, above them.
constexpr uint32_t PickedColor = 0xA00000;
constexpr int PickedPixels = 4;
// The mark at the sheet's edge where elements lie off the sheet, and its line of text.
constexpr uint32_t OffSheetColor = 0x0050C8;
constexpr double OffSheetMark = 2.0;     // of the window font's height: the mark's length
// The other hidden information on shown layers, each kind in a colour of its
// own (the screen shows them, a print does not).
constexpr uint32_t AuxiliaryColor = 0x00A0C0;
constexpr uint32_t TemporaryColor = 0x00A000;
// The colour of a shown element of these kinds (bits of THiddenKind), 0 for
// none: auxiliary before temporary before off the sheet.
constexpr uint32_t KindColor(uint8_t kinds, uint8_t auxiliary, uint8_t temporary, uint8_t offSheet) {
  return (kinds & auxiliary) ? AuxiliaryColor : (kinds & temporary) ? TemporaryColor : (kinds & offSheet) ? OffSheetColor : 0;
}

// The colour a shown item takes under marked hidden material: its own,
// moved towards the background (0xRRGGBB both).
constexpr uint32_t Faint(uint32_t rgb, uint32_t background) {
  auto mix = [](uint32_t a, uint32_t b) {
    const double v = a * FaintShare + b * (1 - FaintShare);
    return static_cast<uint32_t>(v + 0.5);
  };
  uint32_t out = 0;
  for (const int shift : {16, 8, 0}) out |= mix((rgb >> shift) & 0xFF, (background >> shift) & 0xFF) << shift;
  return out;
}

}  // namespace qm::view::Look
