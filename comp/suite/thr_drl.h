// Dynamic-loading library of the suite (stand-in): auxiliary libraries
// loaded by name at run time.
#pragma once

// Loads the library of the name: lib<name>.so from the suite's module
// directory (gen_get_module_path), else as the system loader finds it.
// Null on failure (thr_drl_get_error says why). A loaded library stays
// loaded for the life of the process.
void* thr_drl_load(const char* name);
// The address of the named function of a loaded library; null when it has
// none (thr_drl_get_error says why).
void* thr_drl_find_function(void* library, const char* name);
// The text of the calling thread's last failure of the two above ("" when
// there was none).
const char* thr_drl_get_error();
