// mcubes mesh run by mpirun on 1, 2 and 3 processes: the same bytes as one
// process writes, whether the processes write the file together or process
// 0 writes it, and a failure on one process fails them all, said once,
// with no file left; mcubes bench timing each process's share.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  std::vector<int> statuses;  // every process's exit status, in rank order
  std::string out, err;
};

class MpiMesh : public ::testing::Test {
 protected:
  // mcubes with `arguments`, alone (processes 0) or under mpirun, each
  // process's exit status written down by a shell around it (mpirun itself
  // tells only of the first to fail), under the shell's `limits` if given.
  Outcome run(int processes, const std::string& arguments, const std::string& limits = "") {
    const std::string mcubes = std::string("'") + MCUBES_PATH + "' " + arguments;
    const fs::path out = dir() / "stdout", err = dir() / "stderr";
    const std::string quiet = " >" + out.string() + " 2>" + err.string();
    if (processes == 0) {
      const int status = std::system(("(" + limits + mcubes + quiet + ")").c_str());
      return {{WIFEXITED(status) ? WEXITSTATUS(status) : -1}, readFile(out), readFile(err)};
    }
    // Root runs only when allowed; more processes than cores only when
    // asked for; -q leaves out mpirun's own notes. Messages between
    // processes go through shared memory in copies, as containers often
    // refuse one process reading another's memory directly. Open MPI keeps
    // what its plugins allocate, which a sanitized build's leak check would
    // report: leaks are looked for in the runs of one process instead.
    const std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 '") + MPIEXEC_PATH +
                                "' --oversubscribe -q --mca btl_vader_single_copy_mechanism none " +
                                (geteuid() == 0 ? "--allow-run-as-root " : "") + "-n " +
                                std::to_string(processes) + " sh -c '" + limits +
                                "\"$0\" \"$@\"; echo $? >" + dir().string() +
                                "/status.$OMPI_COMM_WORLD_RANK' " + mcubes + quiet;
    Outcome outcome{{}, {}, {}};
    const int launcher = std::system(command.c_str());
    outcome.out = readFile(out);
    outcome.err = readFile(err);
    EXPECT_EQ(launcher, 0) << command << ": " << outcome.err;
    for (int rank = 0; rank < processes; ++rank) {
      const fs::path status = dir() / ("status." + std::to_string(rank));
      const std::string text = readFile(status);
      outcome.statuses.push_back(text.empty() ? -1 : std::stoi(text));
      fs::remove(status);
    }
    return outcome;
  }
  fs::path dir() const { return temporary_.path(); }
  std::string path(const std::string& name) const { return (dir() / name).string(); }
  // The files in the work folder.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir() / "out")) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  void SetUp() override {
    fs::create_directory(dir() / "out");
    for (const auto& [name, size, gzip] :
         std::vector<std::tuple<std::string, int, bool>>{{"wavelet", 37, false},
                                                         {"wavelet", 3, false},
                                                         {"torus", 20, true},
                                                         {"labels", 23, false}}) {
      const std::string file = path(name + std::to_string(size) + ".nrrd");
      ASSERT_EQ(run(0, "sample " + name + " --size " + std::to_string(size) +
                           (gzip ? " --gzip" : "") + " -o " + file)
                    .statuses,
                std::vector<int>{0});
    }
    // The Wavelet's voxels on a mirrored lattice of uneven spacing, in LPS.
    std::ofstream(path("mirrored.nhdr"))
        << "NRRD0004\ntype: float\ndimension: 3\nspace: left-posterior-superior\n"
           "sizes: 37 37 37\nspace directions: (-1,0,0) (0,1.5,0) (0,0,0.75)\n"
           "endian: little\nencoding: raw\nspace origin: (18,-18,-18)\nbyte skip: -1\n"
           "data file: wavelet37.nrrd\n";
  }

 private:
  TemporaryDirectory temporary_;
};

}  // namespace

TEST_F(MpiMesh, AnyNumberOfProcessesWritesTheBytesOneProcessWrites) {
  struct Case {
    std::string volume;
    std::string options;
    std::string extension;
  };
  const std::vector<Case> cases = {
      // Written in pieces by the processes together: an odd number of slices, in binary PLY
      // and STL, with normals; vertices snapped onto voxels and merged across the planes
      // between the processes; the triangles as extracted; a mirrored lattice.
      {"wavelet37", "--iso 160.5", "ply"},
      {"wavelet37", "--iso 160.5", "stl"},
      {"wavelet37", "--iso 130 --normals", "ply"},
      {"labels23", "--iso 1 --normals", "ply"},
      {"labels23", "--iso 2", "stl"},
      {"wavelet37", "--iso 160.5 --unwelded --normals", "ply"},
      {"mirrored.nhdr", "--iso 160.5 --normals --space ras", "ply"},
      {"mirrored.nhdr", "--iso 160.5", "stl"},
      // Gathered by process 0: text formats, the finishing steps.
      {"wavelet37", "--iso 160.5 --unwelded", "obj"},
      {"wavelet37", "--iso 200 --ascii --keep-largest --smooth 5", "ply"},
      {"wavelet37", "--iso 160.5 --normals --threads 2", "obj"},
      {"torus20", "--iso 0 --min-component 10 --decimate 0.5", "stl"},
      // Fewer layers than processes; compressed voxels; a label map.
      {"wavelet3", "--iso 150", "ply"},
      {"torus20", "--iso 0 --normals", "ply"},
      {"labels23", "--labels all", "ply"},
      // Standard output: a mesh, and the help.
      {"wavelet37", "--iso 160.5 --format stl -o -", ""},
      {"wavelet37", "--help", ""},
  };
  for (const Case& c : cases) {
    const std::string volume =
        c.volume.find('.') == std::string::npos ? c.volume + ".nrrd" : c.volume;
    const std::string arguments = "mesh --volume " + path(volume) + " " + c.options;
    // The mesh goes to a file of the extension given, else to standard output.
    const auto file = [&](const std::string& name) {
      return path("out/" + name + "." + c.extension);
    };
    const auto to = [&](const std::string& name) {
      return c.extension.empty() ? std::string() : " -o " + file(name);
    };
    const auto made = [&](const std::string& name, const Outcome& outcome) {
      return c.extension.empty() ? outcome.out : readFile(file(name));
    };
    const Outcome lone = run(0, arguments + to("alone"));
    ASSERT_EQ(lone.statuses, std::vector<int>{0}) << c.volume << " " << c.options;
    const std::string expected = made("alone", lone);
    EXPECT_GT(expected.size(), 84u) << c.volume << " " << c.options;
    for (const int processes : {1, 2, 3}) {
      const std::string context =
          c.volume + " " + c.options + " on " + std::to_string(processes) + " processes";
      const Outcome outcome = run(processes, arguments + to("made"));
      EXPECT_EQ(outcome.statuses, std::vector<int>(processes, 0)) << context << ": " << outcome.err;
      EXPECT_TRUE(made("made", outcome) == expected) << context;
      // Warnings, reports and standard output said once.
      EXPECT_EQ(outcome.err, lone.err) << context;
      EXPECT_TRUE(outcome.out == lone.out) << context;
      fs::remove(file("made"));
    }
    fs::remove(file("alone"));
  }
}

TEST_F(MpiMesh, AFailureOnOneProcessFailsThemAllSaidOnceWithNoFileLeft) {
  // No subcommand, which every process sees. Compressed voxels cut short: the process whose slices
  // lie past the cut alone finds it. A volume none can open. Then outputs that only process 0
  // writes: a full disk, a missing folder, a label map's file.
  const std::string whole = readFile(path("torus20.nrrd"));
  const std::string cut = path("cut.nrrd");
  std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() - whole.size() / 8);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "no subcommand"},
      {"mesh --volume " + cut + " --iso 0 -o " + path("out/cut.ply"), "cut.nrrd"},
      {"mesh --volume " + path("absent.nrrd") + " --iso 1 -o " + path("out/x.ply"), "absent.nrrd"},
      {"mesh --volume " + path("wavelet37.nrrd") + " --iso 160.5 -o /dev/full", "/dev/full"},
      {"mesh --volume " + path("wavelet37.nrrd") + " --iso 160.5 -o " + path("out/none/x.stl"),
       "none"},
      {"mesh --volume " + path("labels23.nrrd") + " --labels all -o /dev/full", "/dev/full"},
  };
  for (const auto& [arguments, named] : cases) {
    // One process says it once, in the same words.
    const Outcome alone = run(0, arguments);
    ASSERT_EQ(alone.statuses, std::vector<int>{2}) << arguments;
    EXPECT_NE(alone.err.find(named), std::string::npos) << arguments << ": " << alone.err;
    for (const int processes : {2, 3}) {
      const std::string context = arguments + " on " + std::to_string(processes) + " processes";
      const Outcome outcome = run(processes, arguments);
      EXPECT_EQ(outcome.statuses, std::vector<int>(processes, 2)) << context;
      EXPECT_EQ(outcome.err, alone.err) << context;
      EXPECT_TRUE(files().empty()) << context;
    }
  }
}

TEST_F(MpiMesh, AWriteCutShortOnAnyProcessFailsThemAllWithNoFileLeft) {
  // A limit on file size, which the processes writing their pieces meet.
  const std::string limits = "ulimit -f 20; trap \"\" XFSZ; ";
  const std::string output = path("out/big.ply");
  const std::string arguments =
      "mesh --volume " + path("wavelet37.nrrd") + " --iso 160.5 -o " + output;
  const Outcome alone = run(0, arguments, limits);
  ASSERT_EQ(alone.statuses, std::vector<int>{2});
  EXPECT_NE(alone.err.find("cannot write '" + output + "'"), std::string::npos) << alone.err;
  for (const int processes : {2, 3}) {
    const Outcome outcome = run(processes, arguments, limits);
    EXPECT_EQ(outcome.statuses, std::vector<int>(processes, 2)) << processes;
    const std::size_t said = outcome.err.find("mcubes: cannot write '" + output + "'");
    EXPECT_NE(said, std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find("mcubes: ", said + 1), std::string::npos) << outcome.err;
    EXPECT_TRUE(files().empty()) << processes;
  }
}

TEST_F(MpiMesh, BenchTimesEveryProcessOnItsShareAndCountsThemAll) {
  const std::string arguments =
      "bench --volume " + path("wavelet37.nrrd") + " --iso 160.5 --frames 2 --json";
  const std::regex fields(
      R"(.*"triangles": ([0-9]+), "cells": ([0-9]+), "processes": ([0-9]+), )"
      R"("slowest_extract_us_median": ([0-9.]+), "peak_rss_kb": \[([0-9, ]+)\]\}\n)");
  std::smatch lone;
  const Outcome alone = run(0, arguments);
  ASSERT_TRUE(std::regex_match(alone.out, lone, fields)) << alone.out;
  EXPECT_EQ(lone[3].str(), "1");
  for (const int processes : {2, 3}) {
    const Outcome outcome = run(processes, arguments);
    EXPECT_EQ(outcome.statuses, std::vector<int>(processes, 0)) << outcome.err;
    std::smatch shared;
    ASSERT_TRUE(std::regex_match(outcome.out, shared, fields)) << outcome.out;
    // The shares' triangles and cells add up to the whole volume's.
    EXPECT_EQ(shared[1].str(), lone[1].str()) << processes;
    EXPECT_EQ(shared[2].str(), lone[2].str()) << processes;
    EXPECT_EQ(shared[3].str(), std::to_string(processes));
    EXPECT_GT(std::stod(shared[4].str()), 0.0);
    // One peak for each process.
    const std::string peaks = shared[5].str();
    EXPECT_EQ(std::count(peaks.begin(), peaks.end(), ',') + 1, processes) << peaks;
  }
}
