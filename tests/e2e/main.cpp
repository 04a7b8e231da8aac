#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Read window geometry in physical pixels, as the per-monitor aware
  // companion sees it, not scaled for a DPI-unaware reader.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
