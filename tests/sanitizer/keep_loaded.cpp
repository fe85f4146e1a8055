// Linked into every program of the sanitizer build only.
//
// LeakSanitizer names the library an allocation came from when the
// program ends. By then Mesa has unloaded its GL driver and Qt some of its
// plugins, and their frames can no longer be named: the suppressions for
// system libraries cannot match them, and a report would not say where to
// look. Here no library is ever unloaded, so every frame keeps its name.
// The program's own dlclose takes the place of the C library's for every
// library that calls it.

extern "C" int dlclose(void *)
{
    return 0;
}
