// Timings of the isosurface core and the scene sweep (not tests: run by
// hand, `build/release/benchmarks/sweep_benchmark`).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "scene/scene.h"

namespace {

// A cell of the scene's surface at tick 0 (ball A at x = 5.5): one that the
// surface crosses, so the polygoniser does its whole job.
GridCell crossedCell() {
  GridCell cell;
  clearGridCell(cell);
  const BallCentres balls = ballCentres(0);
  sampleMetaball(cell, 16.0f, GridHalfEdge, BallStrength, 16.0f, 8.0f, 8.0f, balls.a.x, balls.a.y,
                 balls.a.z);
  sampleMetaball(cell, 16.0f, GridHalfEdge, BallStrength, 16.0f, 8.0f, 8.0f, balls.b.x, balls.b.y,
                 balls.b.z);
  return cell;
}

void triangulateCrossedCell(benchmark::State& state) {
  const GridCell cell = crossedCell();
  Triangle triangles[5];
  for (auto _ : state) {
    benchmark::DoNotOptimize(triangulateCell(cell, SceneIsoLevel, triangles));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(triangulateCrossedCell);

void sampleOneMetaball(benchmark::State& state) {
  GridCell cell;
  clearGridCell(cell);
  float ballX = 0.0f;
  for (auto _ : state) {
    // A new ball position each time, so that nothing can be hoisted.
    ballX = ballX < 8.0f ? ballX + 0.25f : -8.0f;
    benchmark::DoNotOptimize(ballX);
    sampleMetaball(cell, 16.0f, GridHalfEdge, BallStrength, 3.0f, 7.0f, 9.0f, ballX, 0.0f, 0.0f);
    benchmark::DoNotOptimize(cell);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(sampleOneMetaball);

void sweepWholeScene(benchmark::State& state) {
  std::int32_t ticks = 0;
  for (auto _ : state) {
    // Reads every vertex, as a real receiver would, without forcing the
    // working cell out to memory after each triangle.
    float sum = 0.0f;
    sweepScene(ballCentres(ticks), [&](const Triangle& t) {
      for (const Point3& v : t.vertices) sum += v.x + v.y + v.z;
    });
    benchmark::DoNotOptimize(sum);
    ticks = (ticks + 1) % 315;  // one animation period
  }
  state.counters["cells/s"] = benchmark::Counter(4913.0 * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(sweepWholeScene)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
