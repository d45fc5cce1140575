// The host's dump-re-network command.
#pragma once

// Runs "asm_host dump-re-network ..." (argv[1] is the command); returns the
// exit status.
int dump_re_network_main(int argc, char** argv);
