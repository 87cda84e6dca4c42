// The model table on Linux. A shared object has no resource section: the host finds the bytes
// that the DLL carries as its "DBI" resource (id 1, language 1033) under these two data symbols.
#include <array>
#include <cstdint>

#include "platform.h"
#include "setup/model_table.h"

extern "C" {
EPL2_EXPORT extern const std::array<std::uint8_t, epl2::model_table::size> resource_DBI_1_1033;
EPL2_EXPORT extern const std::uint32_t resource_DBI_1_1033_size;
}
constinit const std::array<std::uint8_t, epl2::model_table::size> resource_DBI_1_1033 =
    epl2::model_table_resource;
constinit const std::uint32_t resource_DBI_1_1033_size = epl2::model_table::size;
