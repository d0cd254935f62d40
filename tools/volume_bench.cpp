#include "tools/volume_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "mesh/volume_extract.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

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

}  // namespace

VolumeBenchResult runVolumeBench(const VolumeBenchSettings& settings) {
  VolumeBenchResult result{};
  const std::unique_ptr<VolumeReader> reader = openVolumeOrFail(settings.volume);
  const VolumeGeometry geometry = reader->header().geometry;
  const std::int64_t voxels = geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
  std::vector<double> values;
  Clock::time_point start = Clock::now();
  try {
    values.resize(static_cast<std::size_t>(voxels));
    reader->readSlices(geometry.dims[2], values.data());
  } catch (const VolumeError& error) {
    failCommand(error.what());
  } catch (const std::bad_alloc&) {
    failCommand("the volume does not fit in memory for timing (" + std::to_string(voxels) +
                " voxels as doubles)");
  }
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
  return result;
}

std::string volumeBenchJson(const VolumeBenchSettings& settings, const VolumeBenchResult& result) {
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                ", \"iso\": %.9g, \"threads\": %d, \"repeats\": %d, \"extract_us_median\": %.1f, "
                "\"extract_us_min\": %.1f, \"extract_cpu_us_median\": %.1f, \"read_us\": %.1f, "
                "\"triangles\": %lld, "
                "\"cells\": %lld}\n",
                settings.isoLevel, settings.threads, settings.repeats, result.extractUsMedian,
                result.extractUsMin, result.extractCpuUsMedian, result.readUs, result.triangles,
                static_cast<long long>(result.cells));
  return "{\"volume\": " + jsonString(settings.volume.path) + numbers;
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
  return text;
}
