// Toolkit-neutral views of the few controls the windows' logic talks to: the
// status bar, the bounds of a window, the modal result window. The Win32
// front end implements them with real controls, the tests with recorders.
#pragma once

#include <string>

namespace qm {

// The main window's status bar with its one simple panel (UTF-8 text).
class IStatusBar {
 public:
  virtual ~IStatusBar() = default;
  virtual void SetSimpleText(const std::string& text) = 0;
};

// Position and size of a window: left and top in screen pixels, width and
// height in pixels at 96 DPI (a window on a monitor of another scale keeps
// its apparent size).
class IWindowBounds {
 public:
  virtual ~IWindowBounds() = default;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetLeft(int value) = 0;
  virtual void SetTop(int value) = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
};

// Shows the result window's report modally; returns when it is closed.
class IResultView {
 public:
  virtual ~IResultView() = default;
  virtual void ShowModal(const class TForm2& form) = 0;
};

}  // namespace qm
