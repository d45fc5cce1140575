// asm_host process-sof SOF ASSIGNMENTS [--write] [--out DIR] [--design DIR]
// [--debug-log FILE] [--module PATH]: applies the assignments file's bit
// settings to a copy of the SRAM object file through asm_process_sof.
#pragma once

// Runs the subcommand (argv[1] is "process-sof"); returns the exit status.
int process_sof_command(int argc, char** argv);
