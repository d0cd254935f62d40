// The processes an MPI launcher (mpirun) started for one command, where the
// build has MPI (cluster_mpi.cpp; cluster_absent.cpp elsewhere, a lone
// process). Process 0 speaks for them all: the progress line, the one error
// line, the output file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ClusterPlace {
  int rank = 0;
  int size = 1;
};

// Joins the processes the launcher started with this one (MPI_Init), where
// one did; otherwise, or in a build without MPI, this process is alone.
void joinCluster(int& argc, char**& argv);
// Leaves them (MPI_Finalize) once the command is done.
void leaveCluster();

ClusterPlace clusterPlace();

// Runs `step` on every process. Where it throws on any, every process
// fails with the first failing process's message (failCommand), which
// only process 0 prints; no process goes on alone.
void togetherOrFail(const std::function<void()>& step);

// Process 0 gets every process's bytes, in rank order (its own first);
// the others get nothing.
std::vector<std::vector<char>> gatherToFirst(const std::vector<char>& mine);

// The largest of every process's value, on every process.
double largestOfAll(double value);
