// What the window procedure records for the natives, fed with the events a
// window gets: the typed-character ring, the key-state arrays and the mouse
// counters with every script thread's acknowledgement snapshot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/char_ring.h"
#include "input/input_devices.h"
#include "input/keyboard.h"
#include "input/mouse.h"
#include "tests/support/script_memory.h"
#include "vm/native_table.h"

namespace qavz {
namespace {

using platform::Event;
using platform::EventKind;

Event Key(EventKind kind, uint16_t usage, uint8_t modifiers = 0) {
  Event e;
  e.kind = kind;
  e.scancode = usage;
  e.modifiers = modifiers;
  return e;
}

Event Text(const std::string& utf8) {
  Event e;
  e.kind = EventKind::kText;
  e.text = utf8;
  return e;
}

Event Mouse(EventKind kind, int button = 0, int clicks = 1) {
  Event e;
  e.kind = kind;
  e.key = uint8_t(button);
  e.clicks = uint8_t(clicks);
  return e;
}

std::vector<int32_t> Drain() {
  std::vector<int32_t> out;
  for (int32_t c; (c = TakeTypedChar()) != 0;) out.push_back(c);
  return out;
}

class InputState : public testing::Test {
 protected:
  void SetUp() override { StartInput(InputBackEnd::kPlain, true); }
  void TearDown() override { StopInput(); }
};

TEST_F(InputState, TheRingKeepsTheLast511Of600) {
  for (int i = 0; i < 600; ++i) PushTypedByte(uint8_t(1 + i % 100));
  std::vector<int32_t> got = Drain();
  ASSERT_EQ(got.size(), 511u);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], 1 + int(89 + i) % 100) << i;
  EXPECT_EQ(TakeTypedChar(), 0);
}

TEST_F(InputState, KeyInitEmptiesTheRingAndItFillsAgain) {
  PushTypedText("abc");
  EXPECT_EQ(TakeTypedChar(), 'a');
  ClearTypedChars();
  EXPECT_EQ(TakeTypedChar(), 0);
  for (int i = 0; i < 511; ++i) PushTypedByte('x');
  EXPECT_EQ(Drain().size(), 511u) << "a full ring after emptying mid-way";
}

// Typed text arrives as UTF-8 and is stored as Shift-JIS bytes, signed
// when read: the lead byte 0x82 of hiragana A is -126.
TEST_F(InputState, TextBecomesShiftJisBytesReadSigned) {
  HandleInputEvent(Text("a\xE3\x81\x82"));  // a, hiragana A
  HandleInputEvent(Text("\xEF\xBD\xB1"));   // half-width katakana A: one byte
  HandleInputEvent(Text("\xE2\x82\xAC"));   // the euro sign has no Shift-JIS form
  HandleInputEvent(Text("\xC2\xA5~"));      // the Japanese Yen key types 0x5C
  HandleInputEvent(Text("\xE3\x81x"));      // a broken sequence: '?' for each stray byte
  EXPECT_EQ(Drain(), (std::vector<int32_t>{'a', -126, -96, -79, '?', 0x5C, '~', '?', '?', 'x'}));
}

TEST_F(InputState, KeysThatTypeByThemselvesAndTextOfTheDebugWindowDoesNot) {
  HandleInputEvent(Key(EventKind::kKeyDown, 0x2A));                        // Backspace
  HandleInputEvent(Key(EventKind::kKeyDown, 0x28));                        // Enter
  HandleInputEvent(Key(EventKind::kKeyDown, 0x29));                        // Esc
  HandleInputEvent(Key(EventKind::kKeyDown, 0x2B));                        // Tab
  HandleInputEvent(Key(EventKind::kKeyDown, 0x06, platform::kModCtrl));    // Ctrl+C
  HandleInputEvent(Key(EventKind::kKeyDown, 0x06, platform::kModAlt));     // Alt+C: nothing
  HandleInputEvent(Key(EventKind::kKeyDown, 0x04));                        // A: its text comes apart
  HandleInputEvent(Key(EventKind::kKeyDown, 0x28, platform::kModRepeat));  // a repeat types again
  Event other = Text("z");
  other.window = platform::kDebugWindow;
  HandleInputEvent(other);
  EXPECT_EQ(Drain(), (std::vector<int32_t>{8, 13, 27, 9, 3, 13}));
}

struct ArrayCase {
  InputBackEnd backEnd;
  uint16_t usage;
  std::vector<int> held;  // indices with bit 7
};

class KeyArrays : public InputState, public testing::WithParamInterface<ArrayCase> {};

TEST_P(KeyArrays, AHeldKeyAtItsIndex) {
  const ArrayCase& c = GetParam();
  StartInput(c.backEnd, true);
  test::ScriptMemory memory;
  Addr keys = memory.Buffer(256, 0x55);
  HandleInputEvent(Key(EventKind::kKeyDown, c.usage));
  ASSERT_EQ(InputServices()[0].id, 1194u);
  EXPECT_EQ(InputServices()[0].operation(int32_t(keys), 256), 1);
  std::vector<int> held;
  for (int i = 0; i < 256; ++i)
    if (memory.Host(keys)[i] & 0x80) held.push_back(i);
  EXPECT_EQ(held, c.held);
  HandleInputEvent(Key(EventKind::kKeyUp, c.usage));
  InputServices()[0].operation(int32_t(keys), 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(memory.Host(keys)[i] & 0x80, 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyArrays,
                         testing::Values(ArrayCase{InputBackEnd::kPlain, 0x04, {0x41}},
                                         ArrayCase{InputBackEnd::kDirectInput, 0x04, {0x1E}},
                                         ArrayCase{InputBackEnd::kPlain, 0xE5, {0x10, 0xA1}},  // right Shift
                                         ArrayCase{InputBackEnd::kDirectInput, 0xE5, {0x36}},
                                         ArrayCase{InputBackEnd::kPlain, 0x52, {0x26}},  // Up
                                         ArrayCase{InputBackEnd::kDirectInput, 0x52, {0xC8}}));

// Without DirectInput bit 0 carries the toggle: every press flips it.
TEST_F(InputState, TheToggleBitFlipsOnEachPress) {
  uint8_t state[256];
  auto toggled = [&](int index) {
    FillVirtualKeyState(state, platform::KeyboardLayout::k104, 0);
    return state[index] & 1;
  };
  EXPECT_EQ(toggled(0x41), 0);
  KeyboardEvent(0x04, true, false, platform::KeyboardLayout::k104);
  EXPECT_EQ(toggled(0x41), 1);
  KeyboardEvent(0x04, true, true, platform::KeyboardLayout::k104);  // repeat
  KeyboardEvent(0x04, false, false, platform::KeyboardLayout::k104);
  EXPECT_EQ(toggled(0x41), 1);
  KeyboardEvent(0x04, true, false, platform::KeyboardLayout::k104);
  EXPECT_EQ(toggled(0x41), 0);
  SyncLockKeys(platform::kLockCaps | platform::kLockScroll);
  EXPECT_EQ(toggled(0x14), 1);
  EXPECT_EQ(toggled(0x90), 0);
  EXPECT_EQ(toggled(0x91), 1);
  FillVirtualKeyState(state, platform::KeyboardLayout::k104, platform::kButtonLeft | platform::kButtonMiddle);
  EXPECT_EQ(state[0x01] & 0x80, 0x80);
  EXPECT_EQ(state[0x02] & 0x80, 0);
  EXPECT_EQ(state[0x04] & 0x80, 0x80);
}

// DirectInput's devices belong to the window in front: behind another
// window a read gives 0 and a zeroed array.
TEST_F(InputState, DirectInputReadsFailWhileTheWindowIsBehind) {
  StartInput(InputBackEnd::kDirectInput, true);
  test::ScriptMemory memory;
  Addr keys = memory.Buffer(256, 0x55);
  Event away;
  away.kind = EventKind::kDeactivate;
  HandleInputEvent(away);
  EXPECT_EQ(InputServices()[0].operation(int32_t(keys), 256), 0);
  EXPECT_EQ(memory.Host(keys)[0], 0);
  away.kind = EventKind::kActivate;
  HandleInputEvent(away);
  EXPECT_EQ(InputServices()[0].operation(int32_t(keys), 256), 1);
  StartInput(InputBackEnd::kDirectInput, false);
  memory.Host(keys)[5] = 1;
  EXPECT_EQ(InputServices()[0].operation(int32_t(keys), 256), 0) << "no keyboard device";
  EXPECT_EQ(memory.Host(keys)[5], 0);
}

// getpoint as two script threads see it.
class PointSnapshots : public InputState {
 protected:
  int32_t Flags(uint32_t thread) {
    context.threadIndex = thread;
    CurrentContext = &context;
    Addr record = memory.Buffer(16);
    Native_getpoint(memory.Args({int32_t(record)}));
    CurrentContext = nullptr;
    lastWheel = memory.WordAt(record + 8);
    return memory.WordAt(record + 12);
  }
  void Acknowledge(uint32_t thread) {
    context.threadIndex = thread;
    CurrentContext = &context;
    EXPECT_EQ(Native_getpoint(memory.Args({0})), 1);
    CurrentContext = nullptr;
  }
  MachineContext context{};
  test::ScriptMemory memory;
  int32_t lastWheel = 0;
};

TEST_F(PointSnapshots, EachThreadSeesItsOwnChangeBitsAndWheel) {
  HandleInputEvent(Mouse(EventKind::kMouseDown, 1));
  Event wheel;
  wheel.kind = EventKind::kMouseWheel;
  wheel.wheel = 240;
  HandleInputEvent(wheel);
  EXPECT_EQ(Flags(0), kPointLeftHeld | kPointLeftPressed);
  EXPECT_EQ(lastWheel, 240);
  EXPECT_EQ(Flags(0), kPointLeftHeld | kPointLeftPressed) << "change bits stay until acknowledged";
  EXPECT_EQ(lastWheel, 0) << "the wheel is taken by each read";
  Acknowledge(0);
  EXPECT_EQ(Flags(0), kPointLeftHeld);
  EXPECT_EQ(Flags(5), kPointLeftHeld | kPointLeftPressed) << "thread 5 has not acknowledged";
  EXPECT_EQ(lastWheel, 240);
  HandleInputEvent(Mouse(EventKind::kMouseUp, 1));
  HandleInputEvent(Mouse(EventKind::kMouseDown, 3));
  EXPECT_EQ(Flags(0), kPointRightHeld | kPointRightPressed);
  EXPECT_EQ(Flags(5), kPointRightHeld | kPointRightPressed | kPointLeftPressed);
  wheel.wheel = -120;
  HandleInputEvent(wheel);
  Flags(0);
  EXPECT_EQ(lastWheel, -120);
}

TEST_F(PointSnapshots, ADoubleClickSetsPressAndDoubleBits) {
  HandleInputEvent(Mouse(EventKind::kMouseDown, 1, 1));
  HandleInputEvent(Mouse(EventKind::kMouseUp, 1));
  Acknowledge(0);
  HandleInputEvent(Mouse(EventKind::kMouseDown, 1, 2));
  HandleInputEvent(Mouse(EventKind::kMouseUp, 1));
  EXPECT_EQ(Flags(0), kPointLeftPressed | kPointLeftDoubled);
  Acknowledge(0);
  HandleInputEvent(Mouse(EventKind::kMouseDown, 2, 3));  // a third click is a plain press
  EXPECT_EQ(Flags(0), kPointMiddleHeld | kPointMiddlePressed);
}

// A move off the client area lets go of every button and ends the capture.
TEST_F(PointSnapshots, AMoveOffTheWindowLetsGoOfTheButtons) {
  HandleInputEvent(Mouse(EventKind::kMouseDown, 1));
  Event move = Mouse(EventKind::kMouseMove);
  HandleInputEvent(move);
  EXPECT_TRUE(platform::NullCursor().captured) << "captured while a button is held";
  move.outside = true;
  HandleInputEvent(move);
  EXPECT_FALSE(platform::NullCursor().captured);
  EXPECT_EQ(Flags(0), kPointLeftPressed);
}

}  // namespace
}  // namespace qavz
