// Toolkit-neutral views of the few controls the main window's logic talks to,
// and the observer through which the batch tells a front end how it goes.
// The Win32 front end implements them with real controls, the command line
// with the plain models below and the terminal, the tests with recorders.
#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace qm {

struct TFileResult;

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
  // The list's width in pixels at 96 DPI (as the settings file keeps it).
  virtual int Width() const = 0;
  virtual void SetWidth(int width) = 0;
  // Puts the items in a new order, equal items keeping theirs; selection and
  // the current item go with their items.
  using TLess = std::function<bool(const std::filesystem::path&, const std::filesystem::path&)>;
  virtual void Sort(const TLess& less) = 0;
  // What the list shows of its items beyond their names has changed.
  virtual void RowsChanged() {}
  // Around many changes at once: the list is shown again after the last.
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
};

// BeginUpdate and EndUpdate of a list for the lifetime of a scope.
class TListUpdate {
 public:
  explicit TListUpdate(IListBox& list) : List_(list) { List_.BeginUpdate(); }
  ~TListUpdate() { List_.EndUpdate(); }
  TListUpdate(const TListUpdate&) = delete;
  TListUpdate& operator=(const TListUpdate&) = delete;

 private:
  IListBox& List_;
};

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

// Follows a batch of Convert from its first file to its last. Every call is
// made on the window's thread, right before the driver lets the application
// process its messages, so what a front end shows is painted at once.
class IBatchObserver {
 public:
  virtual ~IBatchObserver() = default;
  // A batch over count files begins (count > 0; an empty list starts none).
  virtual void BatchStarted(int count) = 0;
  // File index (0-based) is selected and named in the status bar.
  virtual void FileStarted(int index, const std::filesystem::path& name) = 0;
  // File index has its report lines and is deselected again. A batch that is
  // stopped right after FileStarted ends without FileFinished for that file.
  virtual void FileFinished(int index, const TFileResult& result) = 0;
  // The batch is over and the idle hint is back; the report is shown next.
  // interrupted: the batch stopped before its last file.
  virtual void BatchFinished(bool interrupted) = 0;
};

// A file list without a window, for front ends that have none.
class TPlainListBox : public IListBox {
 public:
  int Count() const override { return static_cast<int>(Items_.size()); }
  std::filesystem::path Item(int index) const override { return Items_.at(static_cast<size_t>(index)); }
  void Add(const std::filesystem::path& item) override {
    Items_.push_back(item);
    Selected_.push_back(false);
  }
  void Delete(int index) override {
    Items_.erase(Items_.begin() + index);
    Selected_.erase(Selected_.begin() + index);
    if (Index_ >= Count()) Index_ = Count() - 1;
  }
  void Clear() override {
    Items_.clear();
    Selected_.clear();
    Index_ = -1;
  }
  bool Selected(int index) const override { return Selected_.at(static_cast<size_t>(index)); }
  void SetSelected(int index, bool selected) override { Selected_.at(static_cast<size_t>(index)) = selected; }
  void ClearSelection() override { Selected_.assign(Selected_.size(), false); }
  int ItemIndex() const override { return Index_; }
  void SetItemIndex(int index) { Index_ = index; }
  int Width() const override { return Width_; }
  void SetWidth(int width) override { Width_ = width; }
  void Sort(const TLess& less) override { SortItems(Items_, Selected_, Index_, less); }

  // Sorts items stably by less, and the selection and current index with them.
  static void SortItems(std::vector<std::filesystem::path>& items, std::vector<bool>& selected, int& index,
                        const TLess& less) {
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return less(items[a], items[b]); });
    std::vector<std::filesystem::path> sortedItems;
    std::vector<bool> sortedSelected;
    int sortedIndex = -1;
    for (size_t k = 0; k < order.size(); ++k) {
      sortedItems.push_back(std::move(items[order[k]]));
      sortedSelected.push_back(selected[order[k]]);
      if (static_cast<int>(order[k]) == index) sortedIndex = static_cast<int>(k);
    }
    items = std::move(sortedItems);
    selected = std::move(sortedSelected);
    index = sortedIndex;
  }

 private:
  std::vector<std::filesystem::path> Items_;
  std::vector<bool> Selected_;
  int Index_ = -1;
  int Width_ = 176;  // the designed width of the main window's list
};

// A status bar without a window: keeps the text last set.
class TPlainStatusBar : public IStatusBar {
 public:
  void SetSimpleText(const std::string& text) override { Text_ = text; }
  const std::string& SimpleText() const noexcept { return Text_; }

 private:
  std::string Text_;
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
