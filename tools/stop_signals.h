// SIGINT, SIGTERM and SIGHUP end a run of mcubes at once: with one line,
// the unfinished output files removed (volume/temporary_files.h), and the
// status a shell gives a run the signal ended (128 + its number: 130, 143,
// 129), rather than a silent death that leaves a temporary file of many
// megabytes beside the output.
#pragma once

// `speak`: whether this process prints the line (under mpirun, process 0
// alone). `mcubes view` turns SIGINT and SIGTERM into a close request of
// its own afterwards.
void stopOnSignals(bool speak);
