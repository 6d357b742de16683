// The detail pane's picture: plays a drawing's display list (preview.h) back
// with GDI, fitted to the window at first, then zoomed with the wheel, + and
// - (about the cursor or the middle), moved by dragging or the arrow keys,
// fitted again with a double click, 0 or Home. The whole pane is painted in
// the drawing's background colour with the sheet's outline over it; the
// hidden material is drawn in red above the shown drawing, which is drawn
// faint.
#pragma once

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
  static constexpr COLORREF SheetOutline = RGB(128, 128, 128);
  // The line over the picture: what the red means, whether the picture is
  // whole, how many elements it cannot draw ("描けない要素 N"); empty when
  // none of these applies.
  static std::wstring Legend(const TPreview& preview);

  bool Create(HWND parent, int id);
  // The picture to show, fitted; or none, with a note in its place.
  void Show(std::shared_ptr<const TPreview> preview, std::wstring note = {});
  const TPreview* Shown() const noexcept { return Preview_.get(); }
  double Zoom() const noexcept { return View_ ? View_->Zoom() : 1; }
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
  bool Dragging_ = false;
  POINT Last_{};
};

}  // namespace qm::win
