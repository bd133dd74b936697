// The key tables against the codes a program tests for: virtual keys
// without DirectInput, scan codes with it, on both layouts.
#include "input/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace qavz {
namespace {

using platform::KeyboardLayout;

struct KeyCase {
  const char* key;
  uint16_t usage;
  uint8_t virtualKey, scanCode;        // 104-key layout
  uint8_t virtualKey106, scanCode106;  // 106-key layout
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.key; }

class KeyCodes : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyCodes, BothNumberingsOnBothLayouts) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(VirtualKeyOf(c.usage, KeyboardLayout::k104), c.virtualKey);
  EXPECT_EQ(ScanCodeOf(c.usage, KeyboardLayout::k104), c.scanCode);
  EXPECT_EQ(VirtualKeyOf(c.usage, KeyboardLayout::k106), c.virtualKey106);
  EXPECT_EQ(ScanCodeOf(c.usage, KeyboardLayout::k106), c.scanCode106);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCodes,
    testing::Values(
        KeyCase{"A", 0x04, 0x41, 0x1E, 0x41, 0x1E}, KeyCase{"Z", 0x1D, 0x5A, 0x2C, 0x5A, 0x2C},
        KeyCase{"Q", 0x14, 0x51, 0x10, 0x51, 0x10}, KeyCase{"M", 0x10, 0x4D, 0x32, 0x4D, 0x32},
        KeyCase{"1", 0x1E, 0x31, 0x02, 0x31, 0x02}, KeyCase{"0", 0x27, 0x30, 0x0B, 0x30, 0x0B},
        KeyCase{"Enter", 0x28, 0x0D, 0x1C, 0x0D, 0x1C}, KeyCase{"Esc", 0x29, 0x1B, 0x01, 0x1B, 0x01},
        KeyCase{"Space", 0x2C, 0x20, 0x39, 0x20, 0x39}, KeyCase{"F1", 0x3A, 0x70, 0x3B, 0x70, 0x3B},
        KeyCase{"F8", 0x41, 0x77, 0x42, 0x77, 0x42}, KeyCase{"F10", 0x43, 0x79, 0x44, 0x79, 0x44},
        KeyCase{"F11", 0x44, 0x7A, 0x57, 0x7A, 0x57}, KeyCase{"F12", 0x45, 0x7B, 0x58, 0x7B, 0x58},
        KeyCase{"Left", 0x50, 0x25, 0xCB, 0x25, 0xCB}, KeyCase{"Up", 0x52, 0x26, 0xC8, 0x26, 0xC8},
        KeyCase{"Right", 0x4F, 0x27, 0xCD, 0x27, 0xCD}, KeyCase{"Down", 0x51, 0x28, 0xD0, 0x28, 0xD0},
        KeyCase{"Home", 0x4A, 0x24, 0xC7, 0x24, 0xC7}, KeyCase{"Page Down", 0x4E, 0x22, 0xD1, 0x22, 0xD1},
        KeyCase{"Keypad 7", 0x5F, 0x67, 0x47, 0x67, 0x47}, KeyCase{"Keypad 0", 0x62, 0x60, 0x52, 0x60, 0x52},
        KeyCase{"Keypad Enter", 0x58, 0x0D, 0x9C, 0x0D, 0x9C},
        KeyCase{"Keypad /", 0x54, 0x6F, 0xB5, 0x6F, 0xB5},
        KeyCase{"Left Shift", 0xE1, 0xA0, 0x2A, 0xA0, 0x2A},
        KeyCase{"Right Shift", 0xE5, 0xA1, 0x36, 0xA1, 0x36},
        KeyCase{"Left Ctrl", 0xE0, 0xA2, 0x1D, 0xA2, 0x1D},
        KeyCase{"Right Ctrl", 0xE4, 0xA3, 0x9D, 0xA3, 0x9D},
        KeyCase{"Left Alt", 0xE2, 0xA4, 0x38, 0xA4, 0x38}, KeyCase{"Right Alt", 0xE6, 0xA5, 0xB8, 0xA5, 0xB8},
        KeyCase{"Left Windows", 0xE3, 0x5B, 0xDB, 0x5B, 0xDB},
        KeyCase{"Caps Lock", 0x39, 0x14, 0x3A, 0x14, 0x3A}, KeyCase{"Pause", 0x48, 0x13, 0xC5, 0x13, 0xC5},
        KeyCase{"Print Screen", 0x46, 0x2C, 0xB7, 0x2C, 0xB7},
        // Keys printed differently on the Japanese keyboard.
        KeyCase{"= / ^", 0x2E, 0xBB, 0x0D, 0xDE, 0x90}, KeyCase{"[ / @", 0x2F, 0xDB, 0x1A, 0xC0, 0x91},
        KeyCase{"] / [", 0x30, 0xDD, 0x1B, 0xDB, 0x1A}, KeyCase{"\\ / ]", 0x31, 0xDC, 0x2B, 0xDD, 0x1B},
        KeyCase{"; / ;", 0x33, 0xBA, 0x27, 0xBB, 0x27}, KeyCase{"' / :", 0x34, 0xDE, 0x28, 0xBA, 0x92},
        KeyCase{"` / half-width", 0x35, 0xC0, 0x29, 0x19, 0x94},
        // Keys only the Japanese keyboard has.
        KeyCase{"Ro", 0x87, 0xC1, 0x73, 0xE2, 0x2B},
        KeyCase{"Katakana/Hiragana", 0x88, 0x15, 0x70, 0x15, 0x70},
        KeyCase{"Yen", 0x89, 0xDC, 0x7D, 0xDC, 0x7D}, KeyCase{"Henkan", 0x8A, 0x1C, 0x79, 0x1C, 0x79},
        KeyCase{"Muhenkan", 0x8B, 0x1D, 0x7B, 0x1D, 0x7B},
        KeyCase{"Zenkaku/Hankaku", 0x94, 0x19, 0x94, 0x19, 0x94},
        // Keys with no row.
        KeyCase{"none", 0, 0, 0, 0, 0}, KeyCase{"reserved", 0x01, 0, 0, 0, 0},
        KeyCase{"beyond", 0x1FF, 0, 0, 0, 0}));

// Every letter and digit key: virtual key = the character, scan codes in
// keyboard rows.
TEST(KeyTable, LettersAndDigitsAreTheirCharacters) {
  for (uint16_t usage = 0x04; usage <= 0x1D; ++usage)
    EXPECT_EQ(VirtualKeyOf(usage, KeyboardLayout::k104), 'A' + (usage - 0x04));
  for (uint16_t usage = 0x1E; usage <= 0x26; ++usage) {
    EXPECT_EQ(VirtualKeyOf(usage, KeyboardLayout::k104), '1' + (usage - 0x1E));
    EXPECT_EQ(ScanCodeOf(usage, KeyboardLayout::k104), 2 + (usage - 0x1E));
  }
}

// Two keys of one keyboard never share a scan code, so no key hides
// another in the DirectInput array (keys the two layouts name alike, such as
// a second backslash place, excepted).
TEST(KeyTable, ScanCodesAreUniquePerLayout) {
  for (KeyboardLayout layout : {KeyboardLayout::k104, KeyboardLayout::k106}) {
    std::set<uint8_t> seen;
    std::set<std::string> doubles;
    for (const KeyRow& row : KeyRows()) {
      uint8_t code = ScanCodeOf(row.usage, layout);
      if (code == 0) continue;
      if (!seen.insert(code).second) doubles.insert(row.name);
    }
    std::set<std::string> allowed = {"# (non-US) / ]", "Kana (Hangul)",   "Katakana",  "Hiragana",
                                     "Eisu (Hanja)",   "Zenkaku/Hankaku", "Ro (\\ _)", "Katakana/Hiragana"};
    for (const std::string& name : doubles) EXPECT_TRUE(allowed.count(name)) << name;
  }
}

TEST(KeyTable, RowsAreSortedAndFoundByUsage) {
  uint16_t last = 0;
  for (const KeyRow& row : KeyRows()) {
    EXPECT_GT(row.usage, last) << row.name;
    last = row.usage;
    EXPECT_EQ(FindKey(row.usage), &row);
  }
}

TEST(KeyTable, CommonCodesOfShiftControlAndAlt) {
  EXPECT_EQ(CommonVirtualKey(0xA0), 0x10);
  EXPECT_EQ(CommonVirtualKey(0xA1), 0x10);
  EXPECT_EQ(CommonVirtualKey(0xA2), 0x11);
  EXPECT_EQ(CommonVirtualKey(0xA5), 0x12);
  EXPECT_EQ(CommonVirtualKey(0x41), 0);
  EXPECT_EQ(CommonVirtualKey(0xA6), 0);
}

}  // namespace
}  // namespace qavz
