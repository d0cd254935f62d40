// The slices of a DICOM series decoded by GDCM in a child process, which
// hands their pixels over shared memory. GDCM, as Debian builds it, asserts
// on some damaged files (the process aborts) and allocates whatever length
// a damaged element claims, and it reads a file cut short inside its pixel
// data as if the missing bytes were 0: the child is where it may abort or
// run out of memory, and each slice is checked to hold the pixel bytes its
// header promises before its pixels are taken.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "volume/child_process.h"

namespace mcubes::internal {

struct DicomLibrary;

// The child decodes one slice while the caller takes the one before: two
// slots of shared memory, used in turn.
class DicomDecoder {
 public:
  // Starts the child for slices of `sliceBytes` decoded bytes each, which
  // decodes them with `gdcm`.
  DicomDecoder(std::size_t sliceBytes, const DicomLibrary& gdcm);
  ~DicomDecoder();
  DicomDecoder(const DicomDecoder&) = delete;
  DicomDecoder& operator=(const DicomDecoder&) = delete;

  // Asks for the pixels of `file`, decoded while the caller goes on; at
  // most two are asked for and not yet taken.
  void ask(const std::string& file);
  // The pixels of the file asked for longest ago, in the machine's byte
  // order, valid until the file after the next is asked for. Throws
  // VolumeError naming the file where it holds fewer pixel bytes than its
  // header promises, GDCM cannot decode it, or GDCM stops the child on it;
  // with `needed` false (a slice skipped), its pixels are dropped unread and
  // nothing is thrown for it.
  const unsigned char* take(bool needed = true);
  // How many files are asked for and not yet taken.
  int pending() const { return asked_ - taken_; }
  // Says that no more files will be asked for (none may be pending): the
  // child ends while the caller goes on, the pixels taken staying valid.
  void finish();

 private:
  void stop();
  unsigned char* slot(int n) const;

  std::size_t bytes_;
  void* pixels_ = nullptr;                 // two slots, shared with the child
  int channel_ = -1;                       // a socket to the child
  std::optional<BufferedReader> replies_;  // its end of the socket, read through a buffer
  pid_t child_ = -1;
  std::string files_[2];  // asked for, by slot
  int asked_ = 0, taken_ = 0;
};

}  // namespace mcubes::internal
