#include "filelist.h"

#include <algorithm>
#include <numeric>

#include "convert.h"
#include "fileio.h"

namespace qm {

const TRow* TFileList::Find(const std::filesystem::path& item) const {
  const auto at = Index_.find(TOutputRule::Key(item));
  return at == Index_.end() ? nullptr : &Items_[at->second].Row;
}

TRow* TFileList::Find(const std::filesystem::path& item) {
  const auto at = Index_.find(TOutputRule::Key(item));
  return at == Index_.end() ? nullptr : &Items_[at->second].Row;
}

int TFileList::IndexOf(const std::filesystem::path& item) const {
  const auto at = Index_.find(TOutputRule::Key(item));
  return at == Index_.end() ? -1 : static_cast<int>(at->second);
}

bool TFileList::CanList(const std::filesystem::path& file) {
  return !file.empty() && UpperExtension(file) == ".JWW" && FileExists(file);
}

std::vector<std::filesystem::path> TFileList::Add(const std::vector<std::filesystem::path>& files) {
  // Looked up by key: adding many files costs as much per file as adding one.
  std::vector<std::filesystem::path> added;
  for (const std::filesystem::path& file : files) {
    if (!CanList(file) || !Index_.emplace(TOutputRule::Key(file), Items_.size()).second) continue;
    TItem item;
    item.Row.Path = file;
    Items_.push_back(std::move(item));
    added.push_back(file);
  }
  if (!added.empty()) {
    SortColumn_ = -1;  // the new items are at the end: the list is no longer in sorted order
    Tell(TChange::Items);
  }
  return added;
}

std::vector<TRow> TFileList::RemoveSelected() {
  std::vector<TRow> removed;
  if (Items_.empty() || Current_ < 0) return removed;
  std::vector<TItem> kept;
  kept.reserve(Items_.size());
  for (TItem& item : Items_) {
    if (item.Selected)
      removed.push_back(std::move(item.Row));
    else
      kept.push_back(std::move(item));
  }
  if (removed.empty()) return removed;
  Items_ = std::move(kept);
  // The current place stays, within the list.
  Current_ = std::min(Current_, Count() - 1);
  Reindex();
  Tell(TChange::Items);
  return removed;
}

void TFileList::Assign(const std::vector<std::filesystem::path>& items) {
  Items_.clear();
  Index_.clear();
  Current_ = -1;
  for (const std::filesystem::path& path : items) {
    if (!Index_.emplace(TOutputRule::Key(path), Items_.size()).second) continue;
    TItem item;
    item.Row.Path = path;
    Items_.push_back(std::move(item));
  }
  Tell(TChange::Items);
}

void TFileList::Clear() {
  Items_.clear();
  Index_.clear();
  Current_ = -1;
  Tell(TChange::Items);
}

void TFileList::SetSelected(int index, bool selected) {
  TItem& item = Items_.at(static_cast<size_t>(index));
  if (item.Selected == selected) return;
  item.Selected = selected;
  Tell(TChange::Selection);
}

void TFileList::SetAllSelected(bool selected) {
  bool changed = false;
  for (TItem& item : Items_) changed |= std::exchange(item.Selected, selected) != selected;
  if (changed) Tell(TChange::Selection);
}

std::vector<int> TFileList::SelectedIndices() const {
  std::vector<int> out;
  for (size_t i = 0; i < Items_.size(); ++i)
    if (Items_[i].Selected) out.push_back(static_cast<int>(i));
  return out;
}

void TFileList::SetItemIndex(int index) {
  const int current = index >= 0 && index < Count() ? index : -1;
  if (current == Current_) return;
  Current_ = current;
  Tell(TChange::Selection);
}

void TFileList::SortBy(int column) {
  if (column < 0 || column >= ColumnCount) return;
  SortAscending_ = column == SortColumn_ ? !SortAscending_ : true;
  SortColumn_ = column;
  std::vector<size_t> order(Items_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  const bool ascending = SortAscending_;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int c = CompareRows(Items_[a].Row, Items_[b].Row, column);
    return ascending ? c < 0 : c > 0;
  });
  std::vector<TItem> sorted;
  sorted.reserve(Items_.size());
  int current = -1;
  for (size_t k = 0; k < order.size(); ++k) {
    if (static_cast<int>(order[k]) == Current_) current = static_cast<int>(k);
    sorted.push_back(std::move(Items_[order[k]]));
  }
  Items_ = std::move(sorted);
  Current_ = current;
  Reindex();
  Tell(TChange::Items);
}

void TFileList::RowsChanged() { Tell(TChange::Rows); }

void TFileList::ForgetResults() {
  for (TItem& item : Items_) item.Row.Result.reset();
  Tell(TChange::Rows);
}

void TFileList::Reindex() {
  Index_.clear();
  for (size_t i = 0; i < Items_.size(); ++i) Index_.emplace(TOutputRule::Key(Items_[i].Row.Path), i);
}

}  // namespace qm
