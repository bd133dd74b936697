// Pauses nest: deactivation and the display-mode switch may overlap, and
// everything runs again only when the last pause ends.
#include "host/pause.h"

#include <gtest/gtest.h>

namespace qavz {
namespace {

TEST(Pause, NestsAndExtraResumesDoNothing) {
  ResetPause();
  EXPECT_FALSE(EverythingPaused());
  PauseEverything();
  PauseEverything();
  ResumeEverything();
  EXPECT_TRUE(EverythingPaused()) << "one pause still holds";
  ResumeEverything();
  EXPECT_FALSE(EverythingPaused());
  ResumeEverything();
  PauseEverything();
  EXPECT_TRUE(EverythingPaused()) << "an extra resume did not bank a pause";
  ResumeEverything();
  EXPECT_FALSE(EverythingPaused());
}

}  // namespace
}  // namespace qavz
