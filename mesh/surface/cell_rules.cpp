// The library's copy of the case tables (mesh/surface/cell_rules.h).
#include "mesh/surface/cell_rules.h"

namespace mcubes::internal::iso {

#include "iso/case_table_data.h"

}  // namespace mcubes::internal::iso
