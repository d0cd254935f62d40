// libFuzzer harness for the split of "FILE.h5:/dataset": any text is a
// --volume argument.
#include <cstdint>
#include <string>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/hdf5_name.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  const std::optional<Hdf5Name> name = hdf5Name(path);
  if (!name) return 0;
  // The two parts make the argument again, and the file is itself an HDF5
  // name without a dataset.
  const std::string joined =
      name->file + (path.size() > name->file.size() ? ":" : "") + name->dataset;
  check(joined == path, "hdf5_name_fuzz", "the parts do not make the argument: " + path);
  const std::optional<Hdf5Name> file = hdf5Name(name->file);
  check(file && file->file == name->file && file->dataset.empty(), "hdf5_name_fuzz",
        "the file part is no HDF5 file name: " + name->file);
  return 0;
}
