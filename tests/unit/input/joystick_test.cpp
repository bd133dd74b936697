// Joystick axes as a program reads them, from the formulas up to a pad:
// SDL's virtual joystick stands in for one, read through getjoy's service
// operation with and without DirectInput.
#include "platform/joystick.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "input/input_devices.h"
#include "input/joystick_axes.h"
#include "platform/devices.h"
#include "tests/support/script_memory.h"

namespace qavz {
namespace {

struct AxisCase {
  int32_t minimum, maximum, value, plain, directInput;
};

class Axes : public testing::TestWithParam<AxisCase> {};

TEST_P(Axes, PlainCalibrationAndDirectInputRange) {
  const AxisCase& c = GetParam();
  EXPECT_EQ(PlainAxis(c.value, CalibrateAxis(c.minimum, c.maximum)), c.plain);
  EXPECT_EQ(DirectInputAxis(c.value, c.minimum, c.maximum), c.directInput);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Axes,
    testing::Values(
        // The multimedia range 0..65535: centre 32767, quarter 16383.
        AxisCase{0, 65535, 32767, 0, 0}, AxisCase{0, 65535, 32768, 0, 0}, AxisCase{0, 65535, 0, -1000, -1000},
        AxisCase{0, 65535, 65535, 1000, 1000},
        AxisCase{0, 65535, 32767 + 16383, 0, 0},  // edge of the dead zone
        AxisCase{0, 65535, 32767 + 16384, 0, 0}, AxisCase{0, 65535, 32767 + 16385, 0, 0},  // just past it
        AxisCase{0, 65535, 32767 + 16384 + 8192, 500, 498},
        AxisCase{0, 65535, 32767 - 16383 - 8192, -500, -500},
        // SDL's range.
        AxisCase{-32768, 32767, 0, 0, 0}, AxisCase{-32768, 32767, 32767, 1000, 1000},
        AxisCase{-32768, 32767, -32768, -1000, -1000}, AxisCase{-32768, 32767, 10000, 0, 0},
        // A half range of 1 has a quarter of 0: read as 1, no division by zero.
        AxisCase{0, 3, 0, 0, -1000}, AxisCase{0, 3, 3, 1000, 1000}, AxisCase{0, 1, 1, 0, 1000},
        // An empty range reads as centred.
        AxisCase{5, 5, 5, 0, 0}));

int32_t Word(test::ScriptMemory& memory, Addr record, int i) {
  return memory.WordAt(record + 4u * uint32_t(i));
}

int32_t ReadPad(int n, Addr record) { return InputServices()[1].operation(n, int32_t(record)); }

// The null back-end's joysticks through getjoy, both back-ends.
TEST(Joysticks, NullPadsThroughGetJoy) {
  test::ScriptMemory memory;
  Addr record = memory.Buffer(12, 0x55);
  platform::SetNullJoysticks({{0, 0, 0, 65535, 0}, {65535, 32767, 0, 65535, 0x81}, {}, {}, {}});
  for (InputBackEnd backEnd : {InputBackEnd::kPlain, InputBackEnd::kDirectInput}) {
    StartInput(backEnd, true);
    ASSERT_EQ(InputServices()[1].id, 1195u);
    EXPECT_EQ(ReadPad(1, record), 1);
    EXPECT_EQ(Word(memory, record, 0), 1000);
    EXPECT_EQ(Word(memory, record, 1), 0);
    EXPECT_EQ(Word(memory, record, 2), 0x81);
    EXPECT_EQ(ReadPad(0, record), 1);
    EXPECT_EQ(Word(memory, record, 0), -1000);
    EXPECT_EQ(Word(memory, record, 1), -1000);
    EXPECT_EQ(ReadPad(4, record), 0) << "a fifth joystick is never read";
    EXPECT_EQ(Word(memory, record, 0), 0);
    EXPECT_EQ(ReadPad(-1, record), 0);
    StopInput();
  }
  platform::SetNullJoysticks({});
  StartInput(InputBackEnd::kPlain, true);
  EXPECT_EQ(ReadPad(0, record), 0);
  StopInput();
}

// A pad plugged in while the run goes on: SDL's virtual joystick.
class VirtualPad : public testing::Test {
 protected:
  void SetUp() override {
    if (!platform::OpenDevice(platform::Device::kJoystick, false) ||
        std::string(platform::DeviceBackend(platform::Device::kJoystick)) != "sdl")
      GTEST_SKIP() << "SDL's joystick support does not start here";
    StartInput(InputBackEnd::kPlain, true);
  }
  void TearDown() override {
    if (device >= 0) SDL_JoystickDetachVirtual(device);
    StopInput();
    platform::CloseDevice(platform::Device::kJoystick);
  }
  // A plain joystick: two axes, one hat, 12 buttons.
  void Plug() {
    device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 12, 1);
    ASSERT_GE(device, 0) << SDL_GetError();
    joystick = SDL_JoystickOpen(device);
    ASSERT_NE(joystick, nullptr);
  }
  void Set(int16_t x, int16_t y, std::vector<int> buttons, Uint8 hat = SDL_HAT_CENTERED) {
    SDL_JoystickSetVirtualAxis(joystick, 0, x);
    SDL_JoystickSetVirtualAxis(joystick, 1, y);
    for (int b = 0; b < 12; ++b) SDL_JoystickSetVirtualButton(joystick, b, 0);
    for (int b : buttons) SDL_JoystickSetVirtualButton(joystick, b, 1);
    SDL_JoystickSetVirtualHat(joystick, 0, hat);
  }
  // A pad SDL knows the layout of: its axes and buttons in SDL's order.
  void PlugController() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    device = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(device, 0) << SDL_GetError();
    ASSERT_TRUE(SDL_IsGameController(device));
    joystick = SDL_JoystickOpen(device);
    ASSERT_NE(joystick, nullptr);
  }
  std::vector<int32_t> Read(InputBackEnd backEnd) {
    StartInput(backEnd, true);
    Addr record = memory.Buffer(12, 0x55);
    int32_t result = ReadPad(0, record);
    return {result, Word(memory, record, 0), Word(memory, record, 1), Word(memory, record, 2)};
  }
  test::ScriptMemory memory;
  int device = -1;
  SDL_Joystick* joystick = nullptr;
};

TEST_F(VirtualPad, AppearsWithoutARestartAndReadsThroughTheDeadZones) {
  EXPECT_EQ(Read(InputBackEnd::kPlain)[0], 0) << "no pad yet";
  Plug();
  for (InputBackEnd backEnd : {InputBackEnd::kPlain, InputBackEnd::kDirectInput}) {
    Set(0, 0, {});
    EXPECT_EQ(Read(backEnd), (std::vector<int32_t>{1, 0, 0, 0}));
    Set(12000, -12000, {0, 11});  // inside the dead zone
    EXPECT_EQ(Read(backEnd), (std::vector<int32_t>{1, 0, 0, 1 | 1 << 11}));
    Set(32767, -32768, {3});
    EXPECT_EQ(Read(backEnd), (std::vector<int32_t>{1, 1000, -1000, 8}));
    Set(0, 0, {}, SDL_HAT_LEFT | SDL_HAT_DOWN);  // the hat pushes the stick to its ends
    EXPECT_EQ(Read(backEnd), (std::vector<int32_t>{1, -1000, 1000, 0}));
  }
  SDL_JoystickClose(joystick);
  SDL_JoystickDetachVirtual(device);
  device = -1;
  EXPECT_EQ(Read(InputBackEnd::kPlain)[0], 0) << "the pad pulled out";
  EXPECT_EQ(platform::JoystickCount(), 0);
}

// Buttons in the order pads report them to older programs: A is button 1,
// Start button 8, the left trigger past half way button 12; the d-pad
// pushes the stick to its ends.
TEST_F(VirtualPad, AGameControllerReadsLikeAPad) {
  PlugController();
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, 32767);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, 8000);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_START, 1);
  EXPECT_EQ(Read(InputBackEnd::kDirectInput), (std::vector<int32_t>{1, 1000, 0, 1 | 1 << 7 | 1 << 11}));
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 0);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_START, 0);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0);
  EXPECT_EQ(Read(InputBackEnd::kPlain), (std::vector<int32_t>{1, 1000, -1000, 0}));
}

}  // namespace
}  // namespace qavz
