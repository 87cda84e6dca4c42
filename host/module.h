// Loading the driver module and calling it as a label-design host does: by name, through the
// module's real export table, every argument one 32-bit word.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "entry_points.h"
#include "os.h"

namespace epl2::host {

static_assert(sizeof(void*) == 4, "the host shares 32-bit pointers with the driver module");

class ModuleError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
};

// The 39 entry points, resolved by name.
struct EntryPoints {
#define EPL2_ENTRY(result, name, words) epl2_##name##_fn name = nullptr;
#include "entry_points.inc"
#undef EPL2_ENTRY
};

// A pointer (or integer) as the 32-bit word the driver receives.
template <class T>
std::uint32_t word(T value) noexcept {
    if constexpr (std::is_pointer_v<T>) {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    } else if constexpr (std::is_same_v<T, std::nullptr_t>) {
        return 0;
    } else {
        return static_cast<std::uint32_t>(value);
    }
}

class Module {
   public:
    // Loads the module file (epl2drv.so / epl2drv.dll); throws ModuleError naming the file and
    // the first entry point that is missing.
    explicit Module(const std::string& path);
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    [[nodiscard]] const EntryPoints& entry() const noexcept { return entry_; }
    [[nodiscard]] const std::string& path() const noexcept { return path_; }

    // The module's model table resource (type "DBI", id 1, language 1033); empty when absent.
    [[nodiscard]] std::span<const std::byte> model_table() const noexcept;

   private:
    void* find(const char* name) const;

    std::string path_;
    os::Library library_;
    EntryPoints entry_;
};

// The module path built beside the host program, or the EPL2_MODULE environment variable.
std::string default_module_path(const char* argv0);

}  // namespace epl2::host
