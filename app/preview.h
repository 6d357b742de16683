// The picture of a drawing that the window's detail pane shows: the
// renderer's display list of the screen's view with every layer drawn and
// the hidden material tagged (its items' origin is not visible), block
// inserts drawn by reference (each definition's contents kept once), the
// sheet and background, the elements lying wholly outside the sheet, and the
// mapping of paper millimetres onto a window's pixels at any zoom. The
// picture is fitted to the sheet: elements far off it are told of by a mark
// at the sheet's edge and a line of text, rather than shrinking the sheet.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bounds.h"
#include "displaylist.h"
#include "jwwmeaning.h"
#include "jwwunit.h"

namespace qm {

// Elements of the shown layers lying wholly outside the sheet beyond one of
// its sides or corners.
struct TStrays {
  int Dx = 0, Dy = 0;  // where: -1 left (below), 1 right (above), 0 within the sheet's width (height)
  uint64_t Elements = 0;
  view::TPoint Mark;  // the point of the sheet's edge nearest to the middle of all they draw (mm)
  bool operator==(const TStrays&) const = default;
};

struct TPreview {
  std::filesystem::path Source;
  view::TDisplayList Items;
  std::optional<JwwMeaning::TPaper> Sheet;  // centred on the origin
  uint32_t Background = 0xFFFFFF;           // 0xRRGGBB
  view::TBox Extent;                        // what the picture is fitted to: the sheet, else every item
  uint64_t HiddenItems = 0;                 // top-level items of the hidden material
  uint64_t OffSheet = 0;                    // top-level elements wholly outside the sheet (hiddenkinds.h)
  int32_t Auxiliary = 0, TemporaryPoints = 0;  // shown elements of these kinds
  std::vector<uint8_t> Kinds;               // by element: its kinds (view::THiddenKind bits)
  std::vector<TStrays> Strays;              // those of them that draw something, by where they lie
  uint64_t Undrawable = 0;                  // elements left out: not finite, or beyond 100 m
  bool Complete = true;  // false: the renderer stopped early (a drawing too large to show whole)
  std::string Error;     // why the drawing could not be loaded (UTF-8, Japanese); then nothing is drawn
};

// Loads and renders a drawing with the given document (left empty). The
// images' bytes are not read: an image is drawn as its frame. Never raises.
std::shared_ptr<const TPreview> MakePreview(const std::filesystem::path& source, TJwwData& document);

// The caption over the picture: what the red means, whether the picture is
// whole, how many elements it cannot draw ("描けない要素 N"); empty when none
// of these applies.
std::string PreviewLegend(const TPreview& preview);
// The line telling of the elements outside the sheet ("図面外に N 個の要素"),
// empty when there are none.
std::string StrayNote(const TPreview& preview);
// The colour a shown item of the drawing takes for its kind, 0 for none.
uint32_t KindColor(const TPreview& preview, const view::TOrigin& origin);
// The legend of the kinds the drawing holds, each in its colour: "補助線 N",
// "仮点 N", "図面外 N" (UTF-8, 0xRRGGBB).
std::vector<std::pair<std::string, uint32_t>> KindLegend(const TPreview& preview);

// A hidden group (Layer < 0) or hidden layer the user picked in the pane's
// list: its material is drawn stronger than the rest of the hidden material.
struct TLayerPick {
  int Group = 0;
  int Layer = -1;
  bool operator==(const TLayerPick&) const = default;
};
// True for an item of the hidden material on the picked group or layer.
bool IsPicked(const view::TOrigin& origin, const std::optional<TLayerPick>& pick) noexcept;

// Paper millimetres (y up) to a window's pixels (y down): the extent fitted
// into width × height with a margin, times zoom, with Center (in mm) at the
// middle of the window. The fit follows the window's size; the zoom is
// relative to it.
class TPreviewView {
 public:
  // Fits extent into a window of width × height pixels.
  TPreviewView(const view::TBox& extent, int width, int height);
  double Scale() const noexcept { return Fit_ * Zoom_; }  // pixels a millimetre
  double Zoom() const noexcept { return Zoom_; }
  view::TPoint Center() const noexcept { return Center_; }
  view::TPoint ToPixels(view::TPoint mm) const noexcept;
  view::TPoint ToPaper(view::TPoint pixels) const noexcept;
  // The paper's part the window shows.
  view::TBox Visible() const noexcept;
  // Zooms by factor keeping the paper point under the pixel where it is.
  void ZoomAt(double factor, view::TPoint pixel) noexcept;
  // Moves the picture by the pixels given.
  void Pan(double dx, double dy) noexcept;
  // Another window size: the extent fitted to it again, the same paper
  // point in its middle, the same zoom.
  void Resize(int width, int height) noexcept;

  // Zoom stays within these: the whole picture at a tenth, a ten-thousand-fold detail.
  static constexpr double MinZoom = 0.1, MaxZoom = 10000;

 private:
  view::TBox Extent_;
  int Width_ = 0, Height_ = 0;
  double Fit_ = 1, Zoom_ = 1;
  view::TPoint Center_;
};

// The mark of elements outside the sheet: a triangle (pixels) whose tip is
// on the sheet's edge at the strays' Mark, pointing towards them, size
// pixels long.
std::array<view::TPoint, 3> StrayMarker(const TPreviewView& view, const TStrays& strays, double size);

// An arc as a polyline fine enough at the given pixels a millimetre: no
// chord further than a quarter pixel from the arc (at most 4096 segments).
std::vector<view::TPoint> FlattenArc(const view::TArc& arc, double pixelsPerMm);

}  // namespace qm
