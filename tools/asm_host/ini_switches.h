// The INI switches of zorvane.ini that anyone reads: the one list that the
// host checks a design's zorvane.ini against, so that a misspelt switch is
// not silently ignored. docs/design-format.md describes each.
#pragma once

#include <string>
#include <vector>

// Every switch the module reads (the host itself reads none), sorted.
const std::vector<std::string>& known_ini_switches();

// The names that no one reads, in the order given, each once.
std::vector<std::string> unread_ini_switches(const std::vector<std::string>& names);
