// The stand-in's console: the controlling terminal, reached through handles
// that carry descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "port/win32.h"
#include "tests/util/terminal_child.h"

namespace {

bool sameFile(int a, int b) {
  struct stat first;
  struct stat second;
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

TEST(PortConsole, AllocConsoleAttachesTheTerminalOnlyToAProcessWithout) {
  {
    SCOPED_TRACE("no controlling terminal");
    TerminalChild child;
    ASSERT_TRUE(child.start(TerminalSetting::None, [] {
      if (AllocConsole()) return 10;
      if (GetStdHandle(STD_OUTPUT_HANDLE) != handleFromDescriptor(1)) return 11;
      if (GetStdHandle(0x1234) != INVALID_HANDLE_VALUE) return 12;
      close(0);
      return GetStdHandle(STD_INPUT_HANDLE) == nullptr ? 0 : 13;
    }));
    EXPECT_EQ(0, child.finish());
  }
  {
    SCOPED_TRACE("a terminal on the standard streams is the console already");
    TerminalChild child;
    ASSERT_TRUE(child.start(TerminalSetting::OnStandardStreams, [] {
      if (AllocConsole()) return 10;
      if (GetStdHandle(STD_INPUT_HANDLE) != handleFromDescriptor(0)) return 11;
      if (GetStdHandle(STD_OUTPUT_HANDLE) != handleFromDescriptor(1)) return 12;
      return GetStdHandle(STD_ERROR_HANDLE) == handleFromDescriptor(2) ? 0 : 13;
    }));
    EXPECT_EQ(0, child.finish());
  }
  {
    SCOPED_TRACE("streams redirected away from the controlling terminal");
    TerminalChild child;
    ASSERT_TRUE(child.start(TerminalSetting::ControllingOnly, [] {
      const int nullBefore = dup(1);
      if (!AllocConsole()) return 10;
      if (AllocConsole()) return 11;
      const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
      if (GetStdHandle(STD_INPUT_HANDLE) != console) return 12;
      if (GetStdHandle(STD_ERROR_HANDLE) != console) return 13;
      const int descriptor = descriptorFromHandle(console);
      if (descriptor < 3 || !isatty(descriptor)) return 14;
      // The standard descriptors are left where they were.
      if (!sameFile(1, nullBefore) || isatty(0) || isatty(2)) return 15;
      return write(descriptor, "through the console\n", 20) == 20 ? 0 : 16;
    }));
    EXPECT_TRUE(child.waitFor("through the console")) << child.output();
    EXPECT_EQ(0, child.finish());
  }
}

TEST(PortConsole, ScreenBufferOfATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(0, grantpt(master));
  ASSERT_EQ(0, unlockpt(master));
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  const HANDLE console = handleFromDescriptor(terminal);

  // A terminal that reports no size is taken as 80 x 24.
  CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
  EXPECT_EQ(80, info.dwSize.X);
  EXPECT_EQ(24, info.dwSize.Y);

  winsize size = {30, 100, 0, 0};
  ASSERT_EQ(0, ioctl(master, TIOCSWINSZ, &size));
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
  EXPECT_EQ(100, info.dwSize.X);
  EXPECT_EQ(30, info.dwSize.Y);
  EXPECT_EQ(0, info.srWindow.Left);
  EXPECT_EQ(0, info.srWindow.Top);
  EXPECT_EQ(99, info.srWindow.Right);
  EXPECT_EQ(29, info.srWindow.Bottom);

  // The buffer may grow beyond the window but not shrink below it.
  EXPECT_TRUE(SetConsoleScreenBufferSize(console, COORD{100, 512}));
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
  EXPECT_EQ(100, info.dwSize.X);
  EXPECT_EQ(512, info.dwSize.Y);
  EXPECT_EQ(29, info.srWindow.Bottom);
  EXPECT_FALSE(SetConsoleScreenBufferSize(console, COORD{99, 512}));
  EXPECT_FALSE(SetConsoleScreenBufferSize(console, COORD{100, 29}));
  EXPECT_FALSE(SetConsoleScreenBufferSize(console, COORD{-1, -1}));

  // A window grown past the recorded buffer shows the window's size again.
  size.ws_col = 120;
  ASSERT_EQ(0, ioctl(master, TIOCSWINSZ, &size));
  ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
  EXPECT_EQ(120, info.dwSize.X);
  EXPECT_EQ(30, info.dwSize.Y);

  // Handles that are no terminal.
  int pipeEnds[2];
  ASSERT_EQ(0, pipe(pipeEnds));
  EXPECT_FALSE(GetConsoleScreenBufferInfo(handleFromDescriptor(pipeEnds[1]), &info));
  EXPECT_FALSE(SetConsoleScreenBufferSize(handleFromDescriptor(pipeEnds[1]), COORD{200, 600}));
  EXPECT_FALSE(GetConsoleScreenBufferInfo(nullptr, &info));
  EXPECT_FALSE(GetConsoleScreenBufferInfo(INVALID_HANDLE_VALUE, &info));
  EXPECT_FALSE(GetConsoleScreenBufferInfo(console, nullptr));

  close(pipeEnds[0]);
  close(pipeEnds[1]);
  close(terminal);
  close(master);
}

}  // namespace
