// The viewer's page in the browser: the viewer as a program entered at
// WinMain, which also shows the user's own volume files. The page
// (viewer/web/) copies a file the user picks or drops into the program's
// in-memory file system, asks for it in Module.volumeRequest and closes the
// window as its close button does; the program then reads the file with the
// same readers as mcubes view and opens the viewer again on it. A file that
// cannot be shown is named on the page in one line, and the viewer goes on
// with what it showed before. Nothing leaves the page.

#include <emscripten.h>
#include <emscripten/heap.h>

#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "viewer/controls.h"
#include "viewer/surface_source.h"
#include "viewer/viewer_window.h"
#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

namespace {

// JavaScript bodies are left as written: clang-format would read them as C++.
// clang-format off

EM_JS(void, offerVolumeFiles, (const char* controls, double largestVolumeBytes), {
  Module['volumeFilesOffered'](UTF8ToString(controls), largestVolumeBytes);
});

// 0: no file asked for; 1: a file with a header; 2: raw voxels, laid out as
// dims, type and bigEndian say.
EM_JS(int, takeVolumeRequest, (char* name, int nameSize, int* dims, char* type, int typeSize,
                               int* bigEndian), {
  const request = Module['volumeRequest'];
  Module['volumeRequest'] = null;
  if (!request) {
    return 0;
  }
  stringToUTF8(request.name, name, nameSize);
  if (!request.raw) {
    return 1;
  }
  for (let a = 0; a < 3; a++) {
    HEAP32[(dims >> 2) + a] = request.raw.dims[a];
  }
  stringToUTF8(request.raw.type, type, typeSize);
  HEAP32[bigEndian >> 2] = request.raw.endian === 'big' ? 1 : 0;
  return 2;
});

EM_JS(void, reportVolume, (const char* name, int shown, const char* text), {
  Module['volumeOpened'](UTF8ToString(name), shown !== 0, UTF8ToString(text));
});

// clang-format on

// The viewer holds a volume as doubles, with its coarser levels of detail
// and its surfaces beside it: a volume of more than half the memory that
// the page's program can grow to leaves no room for those.
double largestVolumeBytes() { return static_cast<double>(emscripten_get_heap_max()) / 2.0; }

struct VolumeRequest {
  std::string name;
  std::optional<RawLayout> raw;
};

std::optional<VolumeRequest> takeRequest() {
  char name[1024] = {};
  int dims[3] = {};
  char type[16] = {};
  int bigEndian = 0;
  const int kind = takeVolumeRequest(name, sizeof name, dims, type, sizeof type, &bigEndian);
  if (kind == 0) return std::nullopt;
  VolumeRequest request{name, std::nullopt};
  if (kind == 2) {
    const std::optional<VoxelType> voxelType = voxelTypeNamed(type);
    if (!voxelType) {
      failVolume(request.name, "the voxel type " + shown(type) + " is not known",
                 "choose one of the listed types");
    }
    RawLayout layout{{dims[0], dims[1], dims[2]}, *voxelType, bigEndian != 0};
    request.raw = layout;
  }
  return request;
}

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The viewer's options for the volume asked for; what was read is said in
// `said`. Throws VolumeError for a file that cannot be shown.
ViewerOptions volumeViewer(const VolumeRequest& request, std::string& said) {
  const std::unique_ptr<VolumeReader> reader = openVolume(request.name, request.raw);
  const VolumeHeader& header = reader->header();
  const std::int64_t* dims = header.geometry.dims;
  const double bytes = 8.0 * static_cast<double>(dims[0]) * static_cast<double>(dims[1]) *
                       static_cast<double>(dims[2]);
  if (bytes > largestVolumeBytes()) {
    char problem[160];
    std::snprintf(problem, sizeof problem,
                  "its %lldx%lldx%lld voxels take %.0f MB as the viewer holds them, more than "
                  "the %.0f MB this page can hold",
                  static_cast<long long>(dims[0]), static_cast<long long>(dims[1]),
                  static_cast<long long>(dims[2]), bytes / 1e6, largestVolumeBytes() / 1e6);
    failVolume(request.name, problem, "open it with mcubes view on the desktop");
  }
  ViewerOptions options;
  const std::shared_ptr<VolumeSource> source = loadVolumeSource(*reader, options.threads);
  options.source = source;
  said = header.notice.empty() ? "" : header.notice + "; ";
  // A 3D Slicer segmentation shows its labels, each in its colour, as
  // mcubes view --labels all does.
  if (endsWith(request.name, ".seg.nrrd")) {
    std::vector<std::int64_t> absent;
    source->showLabels({}, absent);
    const std::size_t labels = source->describe().labels.size();
    if (labels == 0) {
      failVolume(request.name, "holds no label to show (0 is the background)",
                 "open a label map or a scan");
    }
    said += std::to_string(labels) + " labels, the keys 1 to 9 toggle the first nine";
    return options;
  }
  const VolumeSource::StartLevel start = source->startLevel();
  options.start.iso.start = start.level;
  char text[256];
  std::snprintf(text, sizeof text, "data %.6g to %.6g; level %.6g, %s", source->least(),
                source->most(), start.level, start.reason.c_str());
  said += text;
  return options;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  offerVolumeFiles(viewerControls, largestVolumeBytes());
  ViewerOptions options;  // the scene until a volume comes
  for (;;) {
    std::string error;
    const HWND window = openViewer(options, CW_USEDEFAULT, CW_USEDEFAULT, error);
    if (window == nullptr) {
      MessageBoxA(nullptr, error.c_str(), "Marching Cubes", MB_ICONERROR);
      return 1;
    }
    const int exitCode = runViewer(window);
    std::string name;
    try {
      const std::optional<VolumeRequest> request = takeRequest();
      if (!request) return exitCode;
      name = request->name;
      std::string said;
      options = volumeViewer(*request, said);
      std::printf("%s: %s\n", name.c_str(), said.c_str());
      reportVolume(name.c_str(), 1, said.c_str());
    } catch (const VolumeError& failure) {
      std::fprintf(stderr, "%s\n", failure.what());
      reportVolume(name.c_str(), 0, failure.what());
    } catch (const std::bad_alloc&) {
      const std::string text =
          name + ": does not fit in this page's memory; open it with mcubes view on the desktop";
      std::fprintf(stderr, "%s\n", text.c_str());
      reportVolume(name.c_str(), 0, text.c_str());
    }
  }
}
