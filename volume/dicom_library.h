// The calls the DICOM reader makes into GDCM, as one table of plain
// functions. On native Linux, mcubes loads them from a module of their own
// (libmcubes-dicom.so) the first time it opens a DICOM series, so that the
// runs that read no DICOM do not load GDCM, which costs most of a run's
// start; the library and the Python module link the same table directly.
#pragma once

#include <cstddef>
#include <string>

namespace mcubes::internal {

// The module's file name, and the function it exports, which returns its
// table (a `const DicomLibrary*`).
constexpr const char* DicomModuleName = "libmcubes-dicom.so";
constexpr const char* DicomModuleEntry = "mcubes_dicom_library";
// Changes whenever the table does: a module of another build is refused.
constexpr int DicomLibraryLayout = 1;

struct DicomLibrary {
  int layout;
  // GDCM's own warnings and errors off: they would break one-line messages.
  void (*silence)();
  // The files a DICOMDIR names, each ReferencedFileID (0004,1500) as it
  // stands (its parts separated by backslashes) passed to `each`; false
  // where GDCM cannot read `dicomdir`.
  bool (*namedFiles)(const char* dicomdir, void* context,
                     void (*each)(void* context, const char* id, std::size_t size));
  // The fields of `file` (DicomField's, by number) that it holds, passed to
  // `each`; false where it is no DICOM file.
  bool (*scanFile)(const char* file, void* context,
                   void (*each)(void* context, int field, const char* value));
  // Decodes the pixels of `file` into `out`, which holds `bytes`, in the
  // machine's byte order; where it cannot (damaged, cut short, a syntax this
  // GDCM cannot decode), passes what is wrong and what to do to `fail` and
  // returns false.
  bool (*decode)(const char* file, std::size_t bytes, unsigned char* out, void* context,
                 void (*fail)(void* context, const char* problem, const char* remedy));
};

// GDCM's table, in the binary that links GDCM.
extern const DicomLibrary gdcmDicomLibrary;

// The table, loaded on the first call where it lives in the module. Throws
// VolumeError naming `file` where the module is missing or cannot be loaded,
// saying where it was looked for.
const DicomLibrary& dicomLibrary(const std::string& file);

}  // namespace mcubes::internal
