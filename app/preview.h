// The picture of a drawing that the window's detail pane shows: the
// renderer's display list of the screen's view with every layer drawn and
// the hidden material tagged (its items' origin is not visible), block
// inserts drawn by reference (each definition's contents kept once), the
// sheet and background, and the mapping of paper millimetres onto a window's
// pixels at any zoom.
#pragma once

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

struct TPreview {
  std::filesystem::path Source;
  view::TDisplayList Items;
  std::optional<JwwMeaning::TPaper> Sheet;  // centred on the origin
  uint32_t Background = 0xFFFFFF;           // 0xRRGGBB
  view::TBox Extent;                        // the sheet and every item
  uint64_t HiddenItems = 0;                 // top-level items of the hidden material
  uint64_t Undrawable = 0;                  // elements left out: not finite, or beyond 100 m
  bool Complete = true;  // false: the renderer stopped early (a drawing too large to show whole)
  std::string Error;     // why the drawing could not be loaded (UTF-8); then nothing is drawn
};

// Loads and renders a drawing with the given document (left empty). The
// images' bytes are not read: an image is drawn as its frame. Never raises.
std::shared_ptr<const TPreview> MakePreview(const std::filesystem::path& source, TJwwData& document);

// Paper millimetres (y up) to a window's pixels (y down): the extent fitted
// into width × height with a margin, times zoom, with Center (in mm) at the
// middle of the window.
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
  // Another window size: the same paper point in its middle, the same zoom.
  void Resize(int width, int height) noexcept;

  // Zoom stays within these: the whole picture at a tenth, a ten-thousand-fold detail.
  static constexpr double MinZoom = 0.1, MaxZoom = 10000;

 private:
  view::TBox Extent_;
  int Width_ = 0, Height_ = 0;
  double Fit_ = 1, Zoom_ = 1;
  view::TPoint Center_;
};

// An arc as a polyline fine enough at the given pixels a millimetre: no
// chord further than a quarter pixel from the arc (at most 4096 segments).
std::vector<view::TPoint> FlattenArc(const view::TArc& arc, double pixelsPerMm);

}  // namespace qm
