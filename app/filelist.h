// The main window's list of drawings as a model: the items in list order,
// each with its row (what the list shows of it), the selection and the
// current item, the order by a column, the list's width, and the rule of what
// may be listed. The list view shows it and tells it what the user selects;
// nothing here knows a window.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "filerows.h"

namespace qm {

class TFileList {
 public:
  // The designed width of the list, pixels at 96 DPI.
  static constexpr int DesignWidth = 176;

  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  const std::filesystem::path& Item(int index) const { return Items_.at(static_cast<size_t>(index)).Row.Path; }
  const TRow& Row(int index) const { return Items_.at(static_cast<size_t>(index)).Row; }
  // The row of a listed drawing (letters compared as Windows compares them);
  // null for one the list does not hold.
  const TRow* Find(const std::filesystem::path& item) const;
  TRow* Find(const std::filesystem::path& item);
  int IndexOf(const std::filesystem::path& item) const;

  // What may be listed: a name ending in ".JWW" in any letter case, of a
  // file that exists.
  static bool CanList(const std::filesystem::path& file);
  // Lists each file that may be listed and is not listed yet, at the end,
  // in the order given; the files listed. The list is no longer in sorted
  // order when any came.
  std::vector<std::filesystem::path> Add(const std::vector<std::filesystem::path>& files);
  // Takes the selected items out (when there is a current item); their rows.
  std::vector<TRow> RemoveSelected();
  void Clear();
  // The items as given, without the rule of what may be listed (duplicates
  // left out): a list set up by a test.
  void Assign(const std::vector<std::filesystem::path>& items);

  bool Selected(int index) const { return Items_.at(static_cast<size_t>(index)).Selected; }
  void SetSelected(int index, bool selected);
  void SetAllSelected(bool selected);
  std::vector<int> SelectedIndices() const;
  // The current (focused) item, -1 when there is none.
  int ItemIndex() const noexcept { return Current_; }
  void SetItemIndex(int index);

  // Sorts by a column, ascending; again by the same column, descending.
  // Equal rows keep their order; rows not inspected yet come last. The
  // selection and the current item go with their items.
  void SortBy(int column);
  int SortColumn() const noexcept { return SortColumn_; }
  bool SortAscending() const noexcept { return SortAscending_; }

  // The list's width in pixels at 96 DPI, as the settings file keeps it:
  // the window lays the list out at it and tells it when the user changes it.
  int Width() const noexcept { return Width_; }
  void SetWidth(int width) noexcept { Width_ = width; }

  // Something rows show has changed (an inspection came, a file's outcome).
  void RowsChanged();
  // Every row forgets the outcome of the last Convert.
  void ForgetResults();

  // What a view of the list is told.
  enum class TChange {
    Items,      // items came, went or changed places: everything is to be shown again
    Rows,       // what the rows show has changed
    Selection,  // the selection or the current item changed (not by the view itself)
  };
  std::function<void(TChange)> Changed;

 private:
  struct TItem {
    TRow Row;
    bool Selected = false;
  };
  void Tell(TChange change) {
    if (Changed) Changed(change);
  }
  void Reindex();
  std::vector<TItem> Items_;
  std::unordered_map<std::u16string, size_t> Index_;  // by key, into Items_
  int Current_ = -1;
  int SortColumn_ = -1;
  bool SortAscending_ = true;
  int Width_ = DesignWidth;
};

}  // namespace qm
