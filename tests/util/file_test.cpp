#include "util/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

std::string temporaryPath(const char* name) {
  return ::testing::TempDir() + "util_file_test_" + name;
}

std::string writeFile(const char* name, const std::string& bytes) {
  const std::string path = temporaryPath(name);
  std::FILE* stream = std::fopen(path.c_str(), "wb");
  EXPECT_NE(nullptr, stream);
  if (stream != nullptr) {
    EXPECT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), stream));
    std::fclose(stream);
  }
  return path;
}

TEST(ReadWholeFile, ReturnsTheBytesUnchangedAndTerminated) {
  const std::string emptyPath = writeFile("empty", "");
  char* empty = readWholeFile(emptyPath.c_str());
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ('\0', empty[0]);
  std::free(empty);

  // Zero bytes, CR LF and lone CR and LF, and every other byte value.
  std::string bytes(
      "a\0b\r\nc\rd\n\0\x1a"
      "end",
      13);
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  const std::string path = writeFile("bytes", bytes);
  char* contents = readWholeFile(path.c_str());
  ASSERT_NE(nullptr, contents);
  EXPECT_EQ(0, std::memcmp(bytes.data(), contents, bytes.size()));
  EXPECT_EQ('\0', contents[bytes.size()]);
  std::free(contents);

  std::remove(emptyPath.c_str());
  std::remove(path.c_str());
}

TEST(ReadWholeFile, NullForWhatCannotBeOpened) {
  EXPECT_EQ(nullptr, readWholeFile(temporaryPath("does_not_exist").c_str()));
  EXPECT_EQ(nullptr, readWholeFile(""));
  EXPECT_EQ(nullptr, readWholeFile(::testing::TempDir().c_str()));
}

#ifndef _WIN32

int openDescriptorCount() {
  int count = 0;
  if (DIR* fds = opendir("/proc/self/fd")) {
    while (readdir(fds) != nullptr) ++count;
    closedir(fds);
  }
  return count;
}

TEST(ReadWholeFile, NullWithoutLeaksWhereSeekingGivesNoSize) {
  const int openBefore = openDescriptorCount();

  // A directory opens for reading here, and seeks to an end that is no size.
  EXPECT_EQ(nullptr, readWholeFile("/"));
  EXPECT_EQ(nullptr, readWholeFile(::testing::TempDir().c_str()));

  // A FIFO with a writer already attached, so that opening it does not wait.
  const std::string fifoPath = temporaryPath("fifo");
  std::remove(fifoPath.c_str());
  ASSERT_EQ(0, mkfifo(fifoPath.c_str(), 0600));
  const int writer = open(fifoPath.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(5, write(writer, "bytes", 5));
  EXPECT_EQ(nullptr, readWholeFile(fifoPath.c_str()));
  close(writer);
  std::remove(fifoPath.c_str());

  // A socket's path does not open as a file at all.
  const std::string socketPath = temporaryPath("socket");
  std::remove(socketPath.c_str());
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
  EXPECT_EQ(nullptr, readWholeFile(socketPath.c_str()));
  close(listener);
  std::remove(socketPath.c_str());

  EXPECT_EQ(openBefore, openDescriptorCount());
}

TEST(ReadWholeFile, ADeviceThatSeeksReadsAsAFileOfItsReportedSize) {
  const int openBefore = openDescriptorCount();
  // Both report size 0, so they read as empty files (the endless /dev/zero
  // included): a lone terminator, not a failure.
  for (const char* device : {"/dev/null", "/dev/zero"}) {
    char* contents = readWholeFile(device);
    ASSERT_NE(nullptr, contents) << device;
    EXPECT_EQ('\0', contents[0]) << device;
    std::free(contents);
  }
  EXPECT_EQ(openBefore, openDescriptorCount());
}

TEST(ReadWholeFile, NullWhenFewerBytesArriveThanTheSize) {
  // sysfs reports every attribute as 4096 bytes long and delivers a line.
  const char* attribute = "/sys/devices/system/cpu/online";
  struct stat status;
  if (stat(attribute, &status) != 0 || status.st_size <= 64) {
    GTEST_SKIP() << "no sysfs attribute that reports more bytes than it holds";
  }
  const int openBefore = openDescriptorCount();
  EXPECT_EQ(nullptr, readWholeFile(attribute));
  EXPECT_EQ(openBefore, openDescriptorCount());
}

TEST(ReadWholeFile, NullForAFileTooLargeForMemory) {
  // A sparse file of 8 TiB costs no disk space but cannot be held in memory.
  const std::string path = temporaryPath("huge");
  const int descriptor = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  ASSERT_GE(descriptor, 0);
  const bool grown = ftruncate(descriptor, off_t{1} << 43) == 0;
  close(descriptor);
  if (!grown) {
    std::remove(path.c_str());
    GTEST_SKIP() << "this file system does not take an 8 TiB sparse file";
  }
  const int openBefore = openDescriptorCount();
  EXPECT_EQ(nullptr, readWholeFile(path.c_str()));
  EXPECT_EQ(openBefore, openDescriptorCount());
  std::remove(path.c_str());
}

#endif

}  // namespace
