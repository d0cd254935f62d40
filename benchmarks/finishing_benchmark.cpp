// Timings of the finishing steps alone, on a sample volume's surface meshed
// in memory (not tests: run by hand or by finishing_reference.py,
// `build/release/benchmarks/finishing_benchmark [--sample gyroid] [--size
// 200] [--iso 0.25] [Google Benchmark's flags]`). The mesh is the one
// `mcubes sample NAME --size N` and `mcubes mesh --iso V` write, so VTK can
// be timed on the same triangles.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mesh/finishing/decimation.h"
#include "mesh/finishing/smoothing.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "volume/sample_volumes.h"

using namespace mcubes::internal;

namespace {

std::string sample = "gyroid";
long size = 200;
double iso = 0.25;

struct Surface {
  IndexedMesh mesh;
  VolumeGeometry box;
};

const Surface& surface() {
  static const Surface meshed = [] {
    const std::unique_ptr<VolumeReader> reader = openSampleVolume(sample, size);
    if (!reader) {
      std::fprintf(stderr, "finishing_benchmark: no sample named '%s'\n", sample.c_str());
      std::exit(2);
    }
    SurfaceOptions options;
    options.isoLevel = iso;
    SurfaceReport report;
    return Surface{volumeSurface(*reader, options, report), reader->header().geometry};
  }();
  return meshed;
}

// Times `step` on a fresh copy of the mesh each time; the copy is not timed.
template <typename Step>
void timeStep(benchmark::State& state, Step step) {
  const Surface& given = surface();
  std::size_t faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    IndexedMesh mesh = given.mesh;
    state.ResumeTiming();
    step(mesh, given.box);
    faces = mesh.faces.size();
    benchmark::DoNotOptimize(mesh.vertices.data());
  }
  state.counters["triangles_in"] = static_cast<double>(given.mesh.faces.size());
  state.counters["triangles_out"] = static_cast<double>(faces);
}

void smooth20(benchmark::State& state) {
  timeStep(state,
           [](IndexedMesh& mesh, const VolumeGeometry& box) { smoothMesh(mesh, 20, 0.1, &box); });
}
BENCHMARK(smooth20)->Unit(benchmark::kMillisecond);

void decimateToTenth(benchmark::State& state) {
  timeStep(state, [](IndexedMesh& mesh, const VolumeGeometry&) { decimateMesh(mesh, 0.1); });
}
BENCHMARK(decimateToTenth)->Unit(benchmark::kMillisecond);

}  // namespace

// Takes --sample, --size and --iso, and hands the rest to Google Benchmark.
int main(int argc, char** argv) {
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const bool valued = i + 1 < argc;
    if (valued && std::strcmp(argv[i], "--sample") == 0) {
      sample = argv[++i];
    } else if (valued && std::strcmp(argv[i], "--size") == 0) {
      size = std::strtol(argv[++i], nullptr, 10);
    } else if (valued && std::strcmp(argv[i], "--iso") == 0) {
      iso = std::strtod(argv[++i], nullptr);
    } else {
      rest.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
