#include "tools/volume_bench.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "mesh/volume/volume_extract.h"
#include "tools/cli_support.h"
#include "tools/cluster.h"
#include "tools/progress_line.h"

using namespace mcubes::internal;

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

struct ShareNumbers {
  double extractUsMedian;
  long peakKb;
  long long triangles;
  std::int64_t cells;
};

// Names can hold any byte; JSON strings hold them escaped.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Every process's share counted together on process 0.
void addShares(VolumeBenchResult& result) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const ShareNumbers mine{result.extractUsMedian, usage.ru_maxrss, result.triangles, result.cells};
  std::vector<char> bytes(sizeof mine);
  std::memcpy(bytes.data(), &mine, sizeof mine);
  const std::vector<std::vector<char>> all = cluster().gatherToFirst(bytes);
  result.processes = static_cast<int>(all.size());
  result.slowestExtractUsMedian = 0;
  result.triangles = 0;
  result.cells = 0;
  for (const std::vector<char>& theirs : all) {
    ShareNumbers share{};
    std::memcpy(&share, theirs.data(), sizeof share);
    result.slowestExtractUsMedian = std::max(result.slowestExtractUsMedian, share.extractUsMedian);
    result.peakKb.push_back(share.peakKb);
    result.triangles += share.triangles;
    result.cells += share.cells;
  }
}

}  // namespace

VolumeBenchResult runVolumeBench(const VolumeBenchSettings& settings) {
  VolumeBenchResult result{};
  const Communicator& place = cluster();
  std::unique_ptr<VolumeReader> reader;
  cluster().together([&] { reader = openVolumeOrFail(settings.volume); });
  // This process's share of the layers and the slices they span (all of
  // them for one process); placed at k = 0, which the timing cannot tell.
  VolumeGeometry geometry = reader->header().geometry;
  const std::int64_t layers = std::max<std::int64_t>(geometry.dims[2] - 1, 0);
  const std::int64_t first = layers * place.rank() / place.size();
  const std::int64_t last = layers * (place.rank() + 1) / place.size();
  geometry.dims[2] = std::min(geometry.dims[2] - first, last - first + 1);
  const std::int64_t voxels = geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
  std::vector<double> values;
  Clock::time_point start = Clock::now();
  cluster().together([&] {
    try {
      values.resize(static_cast<std::size_t>(voxels));
      reader->skipSlices(first);
      reader->readSlices(geometry.dims[2], values.data());
    } catch (const VolumeError& error) {
      failCommand(error.what());
    } catch (const std::bad_alloc&) {
      failCommand("the volume does not fit in memory for timing (" + std::to_string(voxels) +
                  " voxels as doubles)");
    }
  });
  result.readUs = microseconds(Clock::now() - start);

  VolumeExtractionSettings extraction;
  extraction.isoLevel = settings.isoLevel;
  extraction.threads = settings.threads;
  ExtractedSurface surface;
  VolumeFindings findings;
  std::vector<double> samples, cpuSamples;
  ProgressLine progress("bench", "extraction", settings.repeats);
  for (int r = 0; r < settings.repeats; ++r) {
    const std::clock_t cpuStart = std::clock();
    start = Clock::now();
    extractVolumeInto(geometry, values.data(), extraction, surface, findings);
    samples.push_back(microseconds(Clock::now() - start));
    cpuSamples.push_back(1e6 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    progress.update(r + 1);
  }
  std::sort(samples.begin(), samples.end());
  std::sort(cpuSamples.begin(), cpuSamples.end());
  result.extractCpuUsMedian = cpuSamples[(cpuSamples.size() - 1) / 2];
  result.extractUsMedian = samples[(samples.size() - 1) / 2];
  result.extractUsMin = samples.front();
  result.triangles = static_cast<long long>(surface.triangles.size());
  result.cells = findings.cells;
  addShares(result);
  return result;
}

std::string volumeBenchJson(const VolumeBenchSettings& settings, const VolumeBenchResult& result) {
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                ", \"iso\": %.9g, \"threads\": %d, \"repeats\": %d, \"extract_us_median\": %.1f, "
                "\"extract_us_min\": %.1f, \"extract_cpu_us_median\": %.1f, \"read_us\": %.1f, "
                "\"triangles\": %lld, "
                "\"cells\": %lld, \"processes\": %d, \"slowest_extract_us_median\": %.1f, "
                "\"peak_rss_kb\": [",
                settings.isoLevel, settings.threads, settings.repeats, result.extractUsMedian,
                result.extractUsMin, result.extractCpuUsMedian, result.readUs, result.triangles,
                static_cast<long long>(result.cells), result.processes,
                result.slowestExtractUsMedian);
  std::string peaks;
  for (const long peak : result.peakKb) peaks += (peaks.empty() ? "" : ", ") + std::to_string(peak);
  return "{\"volume\": " + jsonString(settings.volume.path) + numbers + peaks + "]}\n";
}

std::string volumeBenchText(const VolumeBenchSettings& settings, const VolumeBenchResult& result) {
  char text[1024];
  std::snprintf(text, sizeof text,
                "volume:      %s at iso %.9g, %lld cells\n"
                "extraction:  %.1f us median, %.1f us fastest of %d, %d thread(s), %lld triangles\n"
                "reading:     %.1f us (into memory, once, not timed above)\n",
                settings.volume.path.c_str(), settings.isoLevel,
                static_cast<long long>(result.cells), result.extractUsMedian, result.extractUsMin,
                settings.repeats, settings.threads, result.triangles, result.readUs);
  if (result.processes == 1) return text;
  std::string shares = "processes:   " + std::to_string(result.processes) +
                       ", each its share of the layers; slowest median " +
                       std::to_string(static_cast<long long>(result.slowestExtractUsMedian)) +
                       " us; peak memory (KB)";
  for (const long peak : result.peakKb) shares += " " + std::to_string(peak);
  return text + shares + "\n";
}
