// Toolkit-neutral views of the few controls the main window's logic talks to.
// The Win32 front end implements them with real controls, the command line
// with plain containers and the terminal, the tests with recorders.
#pragma once

#include <filesystem>
#include <string>

namespace qm {

// The file list: full paths in list order, with a per-item selection and a
// current item.
class IListBox {
 public:
  virtual ~IListBox() = default;
  virtual int Count() const = 0;
  virtual std::filesystem::path Item(int index) const = 0;
  virtual void Add(const std::filesystem::path& item) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual bool Selected(int index) const = 0;
  virtual void SetSelected(int index, bool selected) = 0;
  virtual void ClearSelection() = 0;
  // The current (focused) item, -1 when there is none.
  virtual int ItemIndex() const = 0;
  virtual int Width() const = 0;
  virtual void SetWidth(int width) = 0;
};

// The main window's status bar with its one simple panel (UTF-8 text).
class IStatusBar {
 public:
  virtual ~IStatusBar() = default;
  virtual void SetSimpleText(const std::string& text) = 0;
};

// Position and size of a window.
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

// The application: lets the window handle the messages pending now. Returns
// false when the user asked to stop the running batch (the command line's
// Ctrl+C); a window front end always returns true.
class IApplication {
 public:
  virtual ~IApplication() = default;
  virtual bool ProcessMessages() = 0;
};

// Shows the result window's report modally; returns when it is closed.
class IResultView {
 public:
  virtual ~IResultView() = default;
  virtual void ShowModal(const class TForm2& form) = 0;
};

// Plain in-memory bounds, for front ends without windows and for tests.
class TPlainBounds : public IWindowBounds {
 public:
  TPlainBounds(int left, int top, int width, int height) : L_(left), T_(top), W_(width), H_(height) {}
  int Left() const override { return L_; }
  int Top() const override { return T_; }
  int Width() const override { return W_; }
  int Height() const override { return H_; }
  void SetLeft(int v) override { L_ = v; }
  void SetTop(int v) override { T_ = v; }
  void SetWidth(int v) override { W_ = v; }
  void SetHeight(int v) override { H_ = v; }

 private:
  int L_, T_, W_, H_;
};

}  // namespace qm
