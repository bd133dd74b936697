// The window's own menu in a headless title: its commands reach menu_get
// and act (40003 and 40004 switch the display mode, 40001 closes), the bar
// hides in full screen with AutoHideMenu and comes back for the key that
// opens the menu; menu_build replaces only a bar that is there.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/display_mode.h"
#include "platform/video.h"
#include "tests/support/wait_for.h"
#include "title_run.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::EventKind;

using test::WaitFor;

void Key(EventKind kind, uint8_t key, uint8_t modifiers, uint16_t scancode = 0) {
  Event e;
  e.kind = kind;
  e.key = key;
  e.modifiers = modifiers;
  e.scancode = scancode;
  platform::PushNullEvent(e);
}

// Alt and an access key, then a letter of the pop-up.
void Choose(uint8_t bar, uint8_t item) {
  Key(EventKind::kKeyDown, platform::kVkMenu, platform::kModAlt);
  Key(EventKind::kKeyDown, bar, platform::kModAlt);
  Key(EventKind::kKeyUp, bar, platform::kModAlt);
  Key(EventKind::kKeyUp, platform::kVkMenu, 0);
  Key(EventKind::kKeyDown, item, 0);
  Key(EventKind::kKeyUp, item, 0);
}

int32_t MenuRows() { return platform::NullWindow().menuRows; }

// The script names in the caption each command it got from menu_get, so
// the next is chosen only after it has read the last.
bool ScriptSaw(const char* command) {
  return WaitFor([&] { return platform::NullWindow().caption == command; });
}

TEST(WindowMenu, HostCommandsReachTheScriptAndActAndTheBarHidesInFullScreen) {
  SetDisplaySwitchSettle(20);
  bool closedByMenu = false;
  std::thread user([&] {
    if (!WaitFor([] { return MenuRows() > 0; })) return;
    Choose('V', 'W');  // the window mode while windowed: only reported
    if (!ScriptSaw("40003")) return;
    Choose('V', 'F');  // full screen
    if (!ScriptSaw("40004") || !WaitFor([] { return IsFullScreen() && MenuRows() == 0; })) return;
    // Alt alone brings the hidden bar back and highlights it; then the
    // access keys without Alt choose File > Exit, which closes. This Alt
    // comes as a real keyboard's does, by its place (Left Alt), which has
    // a virtual key of its own.
    constexpr uint16_t kLeftAlt = 0xE2;
    Key(EventKind::kKeyDown, 0, platform::kModAlt, kLeftAlt);
    Key(EventKind::kKeyUp, 0, 0, kLeftAlt);
    if (!WaitFor([] { return MenuRows() > 0; })) return;
    for (uint8_t letter : {'F', 'X'}) {
      Key(EventKind::kKeyDown, letter, 0);
      Key(EventKind::kKeyUp, letter, 0);
    }
    closedByMenu = true;
  });
  test::Title title;
  test::TitleRun run = title.Run("Menu=1\nDraw=1\nWidth=160\nHeight=120\n", R"(
char text[16];
int main()
{
	int c;
	for (;;) {
		c = menu_get();
		if (c == 40003 || c == 40004) {
			log_out("%d", c);
			sprintf(text, "%d", c);
			caption(text);
		}
		sleep(5);
	}
	return 0;
}
)");
  user.join();
  SetDisplaySwitchSettle(500);
  EXPECT_TRUE(closedByMenu) << "a step of the menu did not happen in time";
  EXPECT_EQ(run.status, 0) << "40001 closes the runtime";
  EXPECT_EQ(run.lines, (std::vector<std::string>{"40003", "40004"}));
}

// menu_build replaces the host's bar; without "Menu" a built menu is not
// shown. Each run starts with an empty table.
TEST(WindowMenu, BuiltMenusReplaceTheShownBarOnly) {
  test::Title title;
  test::TitleRun shown = title.Run("Menu=1\nWidth=160\nHeight=120\n", R"(
int main()
{
	menu_init();
	menu_add(0, 1, "&Game", 0);
	menu_add(1, 2, "&Start", 0);
	log_out("build %d draw %d", menu_build(), menu_draw());
	return 0;
}
)");
  EXPECT_EQ(shown.lines, std::vector<std::string>{"build 1 draw 1"});
  EXPECT_GT(MenuRows(), 0);
  test::TitleRun none = title.Run("Width=160\nHeight=120\n", R"(
int main()
{
	log_out("add %d get %d", menu_add(0, 1, "&Game", 0), menu_get());
	log_out("build %d", menu_build());
	return 0;
}
)");
  EXPECT_EQ(none.lines, (std::vector<std::string>{"add 1 get 0", "build 1"}))
      << "a new run starts with an empty menu table";
  EXPECT_EQ(MenuRows(), 0) << "a window without a menu shows none";
}

}  // namespace
}  // namespace qavz
