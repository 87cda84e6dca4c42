#include "module.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace epl2::host {

namespace {

#if defined(_WIN32)
constexpr const char* module_file_name = "epl2drv.dll";
std::string last_error() {
    return "error " + std::to_string(GetLastError());
}
#else
constexpr const char* module_file_name = "epl2drv.so";
std::string last_error() {
    const char* e = dlerror();
    return e ? e : "unknown error";
}
#endif

}  // namespace

Module::Module(const std::string& path) : path_(path) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (handle_ == nullptr)
        throw ModuleError("cannot load driver module " + path + ": " + last_error());
    try {
#define EPL2_ENTRY(result, name, words) \
    entry_.name = reinterpret_cast<epl2_##name##_fn>(find(#name));
#include "entry_points.inc"
#undef EPL2_ENTRY
    } catch (...) {
        close();
        throw;
    }
}

Module::~Module() {
    close();
}

void Module::close() noexcept {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}

void* Module::find(const char* name) const {
#if defined(_WIN32)
    void* p = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    void* p = dlsym(handle_, name);
#endif
    if (p == nullptr) throw ModuleError("driver module " + path_ + " lacks entry point " + name);
    return p;
}

std::span<const std::byte> Module::model_table() const noexcept {
#if defined(_WIN32)
    HMODULE module = reinterpret_cast<HMODULE>(handle_);
    HRSRC info = FindResourceExA(module, "DBI", MAKEINTRESOURCEA(1),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (info == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) return {};
    const void* bytes = LockResource(loaded);
    return {static_cast<const std::byte*>(bytes), SizeofResource(module, info)};
#else
    // Linux modules carry the same bytes under two data symbols in place of a resource section.
    const auto* bytes = static_cast<const std::byte*>(dlsym(handle_, "resource_DBI_1_1033"));
    const auto* size =
        static_cast<const std::uint32_t*>(dlsym(handle_, "resource_DBI_1_1033_size"));
    if (bytes == nullptr || size == nullptr) return {};
    return {bytes, *size};
#endif
}

std::string default_module_path(const char* argv0) {
    if (const char* env = std::getenv("EPL2_MODULE"); env != nullptr && *env != '\0') return env;
    std::string dir = argv0 ? argv0 : "";
    const auto slash = dir.find_last_of("/\\");
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/" + module_file_name;
}

}  // namespace epl2::host
