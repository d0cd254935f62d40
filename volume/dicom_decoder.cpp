#include "volume/dicom_decoder.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "volume/child_process.h"
#include "volume/dicom_library.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

// A text as it is sent: its length, then its bytes; put after `message`,
// which goes in one write.
void putText(std::string& message, const std::string& text) {
  const std::uint32_t size = std::uint32_t(text.size());
  message.append(reinterpret_cast<const char*>(&size), sizeof size);
  message += text;
}

bool receiveText(BufferedReader& from, std::string& text) {
  std::uint32_t size = 0;
  if (!from.read(&size, sizeof size)) return false;
  text.resize(size);
  return from.read(text.data(), size);
}

// The child: a file's name and the slot for its pixels in, its outcome
// (what is wrong and what to do; empty where it decoded) out, until the
// parent's end of the socket closes.
[[noreturn]] void serve(const DicomLibrary& gdcm, int channel, std::size_t bytes,
                        unsigned char* pixels) {
  struct Outcome {
    std::string problem, remedy;
  };
  BufferedReader requests(channel);
  for (std::string file; receiveText(requests, file);) {
    unsigned char slot = 0;
    if (!requests.read(&slot, 1)) break;
    Outcome outcome;
    gdcm.decode(file.c_str(), bytes, pixels + std::size_t(slot & 1) * (bytes + 1), &outcome,
                [](void* context, const char* problem, const char* remedy) {
                  *static_cast<Outcome*>(context) = {problem, remedy};
                });
    std::string message;
    putText(message, outcome.problem);
    putText(message, outcome.remedy);
    if (!writeAll(channel, message.data(), message.size())) break;
  }
  ::_exit(0);
}

}  // namespace

DicomDecoder::DicomDecoder(std::size_t sliceBytes, const DicomLibrary& gdcm) : bytes_(sliceBytes) {
  void* shared =
      ::mmap(nullptr, 2 * (bytes_ + 1), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    failVolume("the DICOM series", "cannot be read (no memory)", "try again");
  }
  pixels_ = shared;
  // A socket, not pipes: a request to a child that is gone fails instead
  // of raising SIGPIPE.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    stop();
    failVolume("the DICOM series", "cannot be read (no socket)", "try again");
  }
  // Room for GDCM's copy of a slice's file and its codecs' work.
  const std::size_t headroom = (std::size_t(256) << 20) + 16 * bytes_;
  child_ = forkGdcmChild(headroom, false, ends[1]);
  if (child_ == 0) {
    serve(gdcm, ends[1], bytes_, static_cast<unsigned char*>(pixels_));
  }
  ::close(ends[1]);
  channel_ = ends[0];
  replies_.emplace(channel_);
  if (child_ < 0) {
    stop();
    failVolume("the DICOM series", "cannot be read (no process)", "try again");
  }
}

DicomDecoder::~DicomDecoder() { stop(); }

void DicomDecoder::stop() {
  if (channel_ >= 0) ::close(channel_);
  channel_ = -1;
  if (child_ > 0) reapChild(child_);
  child_ = -1;
  if (pixels_ != nullptr) ::munmap(pixels_, 2 * (bytes_ + 1));
  pixels_ = nullptr;
}

void DicomDecoder::finish() {
  if (channel_ >= 0) ::close(channel_);
  channel_ = -1;
}

unsigned char* DicomDecoder::slot(int n) const {
  return static_cast<unsigned char*>(pixels_) + std::size_t(n & 1) * (bytes_ + 1);
}

void DicomDecoder::ask(const std::string& file) {
  const unsigned char slot = static_cast<unsigned char>(asked_ & 1);
  files_[slot] = file;
  ++asked_;
  // A child that is gone shows when the file is taken.
  std::string message;
  putText(message, file);
  message += static_cast<char>(slot);
  if (channel_ >= 0 && !writeAll(channel_, message.data(), message.size())) {
    ::close(channel_);
    channel_ = -1;
  }
}

const unsigned char* DicomDecoder::take(bool needed) {
  const int n = taken_++;
  const std::string& file = files_[n & 1];
  std::string problem, remedy;
  if (channel_ < 0 || !receiveText(*replies_, problem) || !receiveText(*replies_, remedy)) {
    stop();
    if (!needed) return nullptr;
    failVolume(file, "GDCM fails on it (it stops the decoding process: damaged, or cut short)",
               "copy the series again");
  }
  if (!problem.empty() && needed) failVolume(file, problem, remedy);
  return slot(n);
}

}  // namespace mcubes::internal
