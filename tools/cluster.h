// The processes an MPI launcher (mpirun) started for one command, where the
// build has MPI (cluster_mpi.cpp; cluster_absent.cpp elsewhere, a lone
// process). Process 0 speaks for them all: the progress line, the one error
// line, the output file.
#pragma once

#include "mesh/distributed/communicator.h"

// Joins the processes the launcher started with this one (MPI_Init), where
// one did; otherwise, or in a build without MPI, this process is alone.
void joinCluster(int& argc, char**& argv);
// Leaves them (MPI_Finalize) once the command is done.
void leaveCluster();

// The processes this one belongs to. Where a step they take together
// throws on any, every process fails with the first failing process's
// message (failCommand), which only process 0 prints.
mcubes::internal::Communicator& cluster();
