// The demo's case tables, at global scope (iso/case_table_data.h).
#include "iso/isosurface.h"

// After the declarations, which give the tables external linkage.
#include "iso/case_table_data.h"
