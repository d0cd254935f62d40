// A running demo allocates nothing on the heap: after start-up, a few
// hundred frames of the real message loop (WinMain, windowProc, the engine
// and the stand-in on the headless display, call trace included) with the
// timer ticks between them make no allocation at all. Every C++ allocation
// of the process goes through the operator new below, which counts while
// asked to. (Mesa's driver is C and allocates with malloc inside its own
// calls, a couple of times per frame; that is the driver's business.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string_view>

#include "app/window_proc.h"
#include "port/port.h"

// AddressSanitizer checks that each block is freed the way it was
// allocated, across every form of new and delete, which these would break.
#ifndef __SANITIZE_ADDRESS__
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* counted(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) {
    allocations.fetch_add(1, std::memory_order_relaxed);
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}
}  // namespace

// The replaceable allocation functions that the others (nothrow) fall back
// on; the default operator delete frees what these return.
void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
#endif

namespace {

TEST(RunningDemo, AllocatesNothingOverHundredsOfFramesAndTicks) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "allocations are counted without AddressSanitizer only";
#else
  std::string error;
  ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
  // A tick every other frame, whatever the machine's speed.
  port::useSimulatedClock(true);
  constexpr int startUpFrames = 20;
  constexpr int countedFrames = 300;
  int frames = 0;
  std::int32_t ticksAtStart = 0;
  std::int32_t ticksAtEnd = 0;
  port::observeCalls([&](std::string_view call) {
    if (call.substr(0, 13) != "SendMessageA(" || call.find("WM_USER+1") == call.npos) {
      return;
    }
    port::advanceClock(std::chrono::milliseconds(8));
    ++frames;
    if (frames == startUpFrames) {
      ticksAtStart = engine.ticks;
      counting = true;
    } else if (frames == startUpFrames + countedFrames) {
      counting = false;
      ticksAtEnd = engine.ticks;
      engine.requestClose();
    }
  });
  static char moduleImage;
  ::testing::internal::CaptureStdout();
  const int exitCode =
      WinMain(reinterpret_cast<HINSTANCE>(&moduleImage), nullptr, nullptr, SW_SHOWDEFAULT);
  const std::string output = ::testing::internal::GetCapturedStdout();
  port::observeCalls(nullptr);
  port::useSimulatedClock(false);

  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(output, "Shutting down.\n");
  EXPECT_EQ(frames, startUpFrames + countedFrames);
  EXPECT_GE(ticksAtEnd - ticksAtStart, countedFrames / 2 - 1);
  EXPECT_EQ(allocations.load(), 0);
#endif
}

}  // namespace
