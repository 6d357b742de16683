// The detail pane's picture: plays a drawing's display list (preview.h) back
// with GDI, fitted to the window at first, then zoomed with the wheel, + and
// - (about the cursor or the middle), moved by dragging or the arrow keys,
// fitted again with a double click, 0 or Home, and fitted again to a new
// size of the window (at the zoom it had). The whole pane is painted in the
// drawing's background colour with the sheet's outline over it; the hidden
// material is drawn in red above the shown drawing, which is drawn faint,
// and the group or layer picked in the pane deeper and wider above it. The
// picture fits the sheet; marks at its edge and a line at the bottom tell of
// the elements off it. The texts are in the font of the window's controls
// at the window's DPI.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "controls_win.h"
#include "look.h"
#include "preview.h"

namespace qm::win {

class TPreviewWindow : public TWindow {
 public:
  static constexpr COLORREF HiddenColor =
      RGB((view::Look::HiddenColor >> 16) & 0xFF, (view::Look::HiddenColor >> 8) & 0xFF, view::Look::HiddenColor & 0xFF);
  static constexpr COLORREF PickedColor =
      RGB((view::Look::PickedColor >> 16) & 0xFF, (view::Look::PickedColor >> 8) & 0xFF, view::Look::PickedColor & 0xFF);
  static constexpr COLORREF OffSheetColor = RGB((view::Look::OffSheetColor >> 16) & 0xFF,
                                                (view::Look::OffSheetColor >> 8) & 0xFF, view::Look::OffSheetColor & 0xFF);
  static constexpr COLORREF SheetOutline = RGB(128, 128, 128);
  // The line over the picture (PreviewLegend).
  static std::wstring Legend(const TPreview& preview);

  TPreviewWindow() = default;
  ~TPreviewWindow() override;

  bool Create(HWND parent, int id);
  // The picture to show, fitted; or none, with a note in its place.
  void Show(std::shared_ptr<const TPreview> preview, std::wstring note = {});
  const TPreview* Shown() const noexcept { return Preview_.get(); }
  double Zoom() const noexcept { return View_ ? View_->Zoom() : 1; }
  // Pixels a paper millimetre (0 without a picture).
  double Scale() const noexcept { return View_ ? View_->Scale() : 0; }
  // The hidden group or layer picked in the pane for the drawing source
  // (none: nothing picked); drawn while the picture of that drawing is shown.
  void Pick(const std::filesystem::path& source, std::optional<TLayerPick> pick);
  std::optional<TLayerPick> Picked() const;
  // The font of its texts: the controls' font at the window's DPI, made
  // when first asked for.
  HFONT Font();
  // Paints the picture into a device context of the window's size.
  void Paint(HDC dc, const RECT& area);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Fit();
  void ZoomAt(double factor, POINT at);

  std::shared_ptr<const TPreview> Preview_;
  std::wstring Note_;
  std::optional<TPreviewView> View_;
  std::filesystem::path PickSource_;
  std::optional<TLayerPick> Pick_;
  HFONT Font_ = nullptr;
  UINT FontDpi_ = 0;
  bool Dragging_ = false;
  POINT Last_{};
};

}  // namespace qm::win
