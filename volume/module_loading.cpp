#include "volume/module_loading.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "volume/read_failure.h"

#ifndef MC_MODULE_DIR
#error "MC_MODULE_DIR: the folder the build installs mcubes' modules into"
#endif

namespace mcubes::internal {

namespace {

namespace fs = std::filesystem;

// Where the module may be, in the order looked at.
std::vector<fs::path> candidates(const char* name) {
  std::vector<fs::path> places;
  Dl_info self;
  if (::dladdr(reinterpret_cast<void*>(&candidates), &self) != 0 && self.dli_fname != nullptr) {
    std::error_code error;
    const fs::path binary = fs::canonical(self.dli_fname, error);
    if (!error) {
      places.push_back(binary.parent_path() / name);
      places.push_back(binary.parent_path().parent_path() / "lib" / "mcubes" / name);
    }
  }
  const fs::path installed = fs::path(MC_MODULE_DIR) / name;
  bool known = false;
  for (const fs::path& place : places) known = known || place == installed;
  if (!known) places.push_back(installed);
  return places;
}

}  // namespace

const void* loadModule(const char* name, const char* entry, int layout, std::string& tried) {
  for (const fs::path& place : candidates(name)) {
    std::error_code error;
    std::string why;
    if (!fs::exists(place, error)) {
      why = "no such file";
    } else if (void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      using Entry = const void* (*)();
      const auto table = reinterpret_cast<Entry>(::dlsym(module, entry));
      const void* held = table ? table() : nullptr;
      if (held != nullptr && *static_cast<const int*>(held) == layout) return held;
      why = held ? "from another build of mcubes" : "not a module of mcubes";
      ::dlclose(module);
    } else {
      why = ::dlerror();
    }
    tried += (tried.empty() ? "" : "; ") + printableName(place.string()) + ": " + why;
  }
  return nullptr;
}

}  // namespace mcubes::internal
