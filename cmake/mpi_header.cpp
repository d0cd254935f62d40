// Preprocessed by MPI's compiler wrapper at configure time: whether MPI's
// headers are there (the root CMakeLists.txt).
#include <mpi.h>
