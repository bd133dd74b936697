// Rectangles bucketed on a coarse grid over an area, so that the ones a
// query rectangle may meet are found without visiting all of them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "graphics/plane.h"

namespace qavz {

class RectGrid {
 public:
  // Indexes the rectangles (empty ones are never found). Rectangles outside
  // the area land in its border cells.
  void Build(const Rect& area, const std::vector<Rect>& rects) {
    area_ = area;
    count_ = rects.size();
    if (count_ <= kLinearLimit) return;
    cols_ = int(std::clamp<int64_t>((int64_t(area.right) - area.left) / kCell + 1, 1, 4096));
    rows_ = int(std::clamp<int64_t>((int64_t(area.bottom) - area.top) / kCell + 1, 1, 4096));
    cells_.assign(size_t(cols_) * size_t(rows_), {});
    stamps_.assign(count_, 0);
    for (size_t i = 0; i < count_; ++i)
      if (rects[i].left < rects[i].right && rects[i].top < rects[i].bottom)
        ForCells(rects[i], [&](std::vector<int>& cell) { cell.push_back(int(i)); });
  }

  // Calls visit(index) in ascending order for every rectangle that may meet
  // `r` (the caller tests the overlap); a few rectangles are all visited.
  template <typename Visit>
  void Near(const Rect& r, Visit visit) {
    if (count_ == 0 || r.left >= r.right || r.top >= r.bottom) return;
    if (count_ <= kLinearLimit) {
      for (size_t i = 0; i < count_; ++i) visit(i);
      return;
    }
    ++now_;
    found_.clear();
    ForCells(r, [&](std::vector<int>& cell) {
      for (int i : cell)
        if (stamps_[size_t(i)] != now_) {
          stamps_[size_t(i)] = now_;
          found_.push_back(i);
        }
    });
    std::sort(found_.begin(), found_.end());
    for (int i : found_) visit(size_t(i));
  }

 private:
  static constexpr int64_t kCell = 64;
  static constexpr size_t kLinearLimit = 24;

  int Column(int64_t x) const { return int(std::clamp<int64_t>((x - area_.left) / kCell, 0, cols_ - 1)); }
  int Row(int64_t y) const { return int(std::clamp<int64_t>((y - area_.top) / kCell, 0, rows_ - 1)); }

  template <typename F>
  void ForCells(const Rect& r, F f) {
    int c0 = Column(r.left), c1 = Column(int64_t(r.right) - 1);
    int r0 = Row(r.top), r1 = Row(int64_t(r.bottom) - 1);
    for (int row = r0; row <= r1; ++row)
      for (int col = c0; col <= c1; ++col) f(cells_[size_t(row) * size_t(cols_) + size_t(col)]);
  }

  Rect area_;
  size_t count_ = 0;
  int cols_ = 1, rows_ = 1;
  std::vector<std::vector<int>> cells_;
  std::vector<uint32_t> stamps_;
  uint32_t now_ = 0;
  std::vector<int> found_;
};

}  // namespace qavz
