#include "module.h"

#include <cstdlib>

namespace epl2::host {

Module::Module(const std::string& path) : path_(path), library_(path) {
    if (!library_.loaded())
        throw ModuleError("cannot load driver module " + path + ": " + library_.error());
#define EPL2_ENTRY(result, name, words) \
    entry_.name = reinterpret_cast<epl2_##name##_fn>(find(#name));
#include "entry_points.inc"
#undef EPL2_ENTRY
}

void* Module::find(const char* name) const {
    void* p = library_.symbol(name);
    if (p == nullptr) throw ModuleError("driver module " + path_ + " lacks entry point " + name);
    return p;
}

std::span<const std::byte> Module::model_table() const noexcept {
    return library_.model_table();
}

std::string default_module_path(const char* argv0) {
    if (const char* env = std::getenv("EPL2_MODULE"); env != nullptr && *env != '\0') return env;
    std::string dir = argv0 ? argv0 : "";
    const auto slash = dir.find_last_of("/\\");
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/" + os::module_file_name;
}

}  // namespace epl2::host
