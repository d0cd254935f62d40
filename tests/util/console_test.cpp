#include "util/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

#include "platform/win32.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include "tests/util/terminal_child.h"
#endif

namespace {

#ifndef _WIN32

// The console's screen buffer is 512 lines as wide as its window.
int checkScreenBuffer(SHORT width) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 20;
  if (info.dwSize.X != width) return 21;
  if (info.dwSize.Y != 512) return 22;
  return 0;
}

TEST(OpenConsole, BindsTheStreamsToTheConsoleUnbuffered) {
  for (TerminalSetting setting :
       {TerminalSetting::ControllingOnly, TerminalSetting::OnStandardStreams}) {
    SCOPED_TRACE(setting == TerminalSetting::ControllingOnly ? "streams redirected"
                                                             : "streams on the terminal");
    TerminalChild child;
    ASSERT_TRUE(child.start(
        setting,
        [] {
          // Buffered before the binding, so its fate shows whether pending output
          // is flushed to where it was headed; it also fixes stdout's buffering
          // mode, which the binding must override.
          std::fputs("early:", stdout);
          openConsole();
          std::fputs("out:", stdout);
          std::fputs("err:", stderr);
          std::cout << "cout:";
          // Reading stdin flushes only line-buffered streams: the prefix above
          // reaches the terminal before the reply only if stdout is unbuffered.
          char line[32];
          if (std::fgets(line, sizeof line, stdin) == nullptr) return 10;
          std::printf("got:%s", line);
          return checkScreenBuffer(100);
        },
        100, 30));
    ASSERT_TRUE(child.waitFor("out:err:cout:")) << child.output();
    child.type("ping\n");
    ASSERT_TRUE(child.waitFor("got:ping\r\n")) << child.output();
    EXPECT_EQ(0, child.finish()) << child.output();
    if (setting == TerminalSetting::ControllingOnly) {
      EXPECT_EQ(std::string::npos, child.output().find("early:")) << child.output();
    } else {
      EXPECT_EQ(0u, child.output().find("early:out:")) << child.output();
    }
  }
}

TEST(OpenConsole, WithoutAnyTerminalTheStreamsKeepTheirDestination) {
  TerminalChild child;
  ASSERT_TRUE(child.start(TerminalSetting::None, [] {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_NONBLOCK) != 0 || dup2(pipeEnds[1], 1) != 1) return 10;
    std::fputs("before:", stdout);
    openConsole();
    std::fputs("after", stdout);
    if (std::ferror(stdout) || std::ferror(stderr) || std::ferror(stdin)) return 11;
    // Nothing was flushed explicitly: both writes are in the pipe only if
    // the binding flushed the first and left the stream unbuffered.
    char text[32] = {};
    if (read(pipeEnds[0], text, sizeof text - 1) != 12) return 12;
    return std::string(text) == "before:after" ? 0 : 13;
  }));
  EXPECT_EQ(0, child.finish());
}

#else

// The runtime library records an unbuffered stream in the stream's flags.
bool unbuffered(std::FILE* stream) { return (stream->_flag & _IONBF) != 0; }

TEST(OpenConsole, LeavesTheStandardStreamsUsableAndUnbuffered) {
  EXPECT_EXIT(
      {
        openConsole();
        const bool written = std::fputs("out", stdout) >= 0 && std::fputs("err", stderr) >= 0;
        const bool healthy = !std::ferror(stdout) && !std::ferror(stderr) && !std::ferror(stdin);
        const bool immediate = unbuffered(stdout) && unbuffered(stderr) && unbuffered(stdin);
        std::exit(written && healthy && immediate ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

#endif

}  // namespace
