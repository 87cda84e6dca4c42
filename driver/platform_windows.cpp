// The Windows module's own start-up. The DLL links no C runtime start-up code (nothing to
// construct, nothing to allocate): this is its whole entry point.
extern "C" __stdcall int DllMainCRTStartup(void*, unsigned long, void*) {
    return 1;
}
