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
#include <string>

namespace mcubes::internal {

class DicomDecoder {
 public:
  // Starts the child for slices of `sliceBytes` decoded bytes each.
  explicit DicomDecoder(std::size_t sliceBytes);
  ~DicomDecoder();
  DicomDecoder(const DicomDecoder&) = delete;
  DicomDecoder& operator=(const DicomDecoder&) = delete;

  // The pixels of `file`, in the machine's byte order, valid until the next
  // call. Throws VolumeError naming the file where it holds fewer pixel
  // bytes than its header promises, GDCM cannot decode it, or GDCM stops
  // the child on it.
  const unsigned char* decode(const std::string& file);

 private:
  void stop();

  std::size_t bytes_;
  void* pixels_ = nullptr;  // shared with the child
  int channel_ = -1;        // a socket to the child
  pid_t child_ = -1;
};

}  // namespace mcubes::internal
