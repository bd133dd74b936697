#include "system/menu_model.h"

#include <algorithm>
#include <string_view>

#include "platform/text_encoding.h"

namespace qavz {

namespace {

bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrailByte(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The position of the item with command id `id` in `menu` or below, with the
// menu holding it; popup ids only as a fallback, as described above.
MenuItem* Find(Menu& menu, int32_t id, Menu** holder, size_t* position) {
  MenuItem* fallback = nullptr;
  size_t fallbackAt = 0;
  for (size_t i = 0; i < menu.items.size(); ++i) {
    MenuItem& item = menu.items[i];
    if (item.kind == MenuItemKind::kPopup && item.sub) {
      if (MenuItem* inner = Find(*item.sub, id, holder, position)) return inner;
      if (item.id == id && !fallback) fallback = &item, fallbackAt = i;
    } else if (item.id == id) {
      *holder = &menu;
      *position = i;
      return &item;
    }
  }
  if (fallback) *holder = &menu, *position = fallbackAt;
  return fallback;
}

}  // namespace

MenuItem CommandItem(int32_t id, std::string text) {
  MenuItem item;
  item.id = id;
  item.text = std::move(text);
  return item;
}

MenuItem SeparatorItem() {
  MenuItem item;
  item.kind = MenuItemKind::kSeparator;
  item.text.push_back('-');
  return item;
}

MenuItem PopupItem(int32_t id, std::string text, std::shared_ptr<Menu> sub) {
  MenuItem item = CommandItem(id, std::move(text));
  item.kind = MenuItemKind::kPopup;
  item.sub = std::move(sub);
  return item;
}

std::mutex& MenuLock() noexcept {
  static std::mutex lock;
  return lock;
}

MenuItem* FindByCommand(Menu& menu, int32_t id, Menu** holder) noexcept {
  Menu* in = nullptr;
  size_t position = 0;
  MenuItem* item = Find(menu, id, &in, &position);
  if (holder) *holder = in;
  return item;
}

bool CheckRadioRange(Menu& menu, int32_t first, int32_t last, int32_t chosen) noexcept {
  Menu *firstIn = nullptr, *lastIn = nullptr, *chosenIn = nullptr;
  size_t from = 0, to = 0, at = 0;
  if (!Find(menu, first, &firstIn, &from) || !Find(menu, last, &lastIn, &to) ||
      !Find(menu, chosen, &chosenIn, &at) || firstIn != lastIn || chosenIn != firstIn)
    return false;
  if (from > to) std::swap(from, to);
  for (size_t i = from; i <= to; ++i) firstIn->items[i].checked = false;
  MenuItem& item = firstIn->items[at];
  item.checked = true;
  item.radioCheck = true;
  return true;
}

MenuLabel LabelOf(const std::string& text) {
  MenuLabel label;
  size_t end = text.find('\t');
  if (end != std::string::npos) label.shortcut = text.substr(end + 1);
  std::string_view shown = std::string_view(text).substr(0, end);
  bool utf8 = platform::IsUtf8(std::string(shown));
  // Bytes of the character starting at `i`, so a trail byte is never read
  // as '&' and the underline spans a whole character.
  auto length = [&](size_t i) -> size_t {
    uint8_t c = uint8_t(shown[i]);
    size_t n = 1;
    if (utf8)
      n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    else if (IsLeadByte(c) && i + 1 < shown.size() && IsTrailByte(uint8_t(shown[i + 1])))
      n = 2;
    return std::min(n, shown.size() - i);
  };
  for (size_t i = 0; i < shown.size();) {
    size_t n = length(i);
    if (shown[i] != '&' || i + 1 >= shown.size()) {
      label.text.append(shown.substr(i, n));
      i += n;
      continue;
    }
    // "&&" is a plain '&'; '&' before anything else marks it.
    ++i;
    n = length(i);
    uint8_t next = uint8_t(shown[i]);
    if (next != '&' && label.underline < 0) {
      label.underline = int32_t(label.text.size());
      label.underlineBytes = int32_t(n);
      if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || (next >= '0' && next <= '9'))
        label.accessKey = uint8_t(next >= 'a' && next <= 'z' ? next - 32 : next);
    }
    label.text.append(shown.substr(i, n));
    i += n;
  }
  return label;
}

}  // namespace qavz
