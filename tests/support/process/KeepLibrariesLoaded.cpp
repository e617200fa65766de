// Linked into every test program: libraries loaded at run time stay loaded
// to the end of the process.
//
// The GL driver (Mesa's DRI driver, glvnd's vendor libraries), SDL's video
// back ends and the toolkits are opened with dlopen and closed again when a
// window, a context or a subsystem goes away. Whatever such a library
// allocated and never freed is then reported by LeakSanitizer at exit with
// frames that no longer have a module name, so the suppressions in
// scripts/lsan.supp (which match module names) cannot apply, and whether the
// driver allocates at all depends on the machine. Keeping every library
// mapped makes the reports name their modules on every machine. Leak
// detection itself stays on: leaks in our own code still fail the tests.
//
// The test programs export this definition (see cmake/Build.cmake), so it
// takes the place of the C library's for every library in the process.

extern "C" int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
