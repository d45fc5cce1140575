// A library named like the debug-instance extension library that lacks its
// entry point: loading it works, finding kovx_create_sld_file does not.
extern "C" __attribute__((visibility("default"))) int kovx_library_version() { return 1; }
