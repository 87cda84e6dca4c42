// What differs between the two builds of the module: how an entry point is exported. The rest of
// each platform's part lives in its own file (platform_windows.cpp, platform_linux.cpp), which the
// build picks; no other file of the module tests the platform.
#pragma once

#if defined(_WIN32)
#define EPL2_EXPORT  // exported by name through the module's generated .def file
#else
#define EPL2_EXPORT __attribute__((visibility("default")))
#endif  // defined(_WIN32)
