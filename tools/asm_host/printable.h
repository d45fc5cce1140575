// Text taken from the input (a file or key name, a path of the command line,
// a line a run wrote) as the host prints it.
#pragma once

#include <string>
#include <string_view>

// The text with every control character (C0, DEL and the UTF-8 encoded C1
// controls) and every byte that is not part of well-formed UTF-8 written as
// "\xNN", so that no name can move the cursor, recolour the terminal or
// forge a line of its own. Plain text comes back unchanged.
std::string printable_text(std::string_view text);
