// A process-wide observer of the objects of one assembly: the option block
// builder, the HPS data builder and its handoff block report their
// construction, their runs and their destruction, and the device run its
// start. Tests set the observer to see which objects a call made and in
// which order; unset (the default), nothing is formatted or reported.
#pragma once

#include <string>

typedef void (*ASM_TRACE_OBSERVER)(const std::string& event);

void asm_set_trace_observer(ASM_TRACE_OBSERVER observer);
bool asm_tracing();
// Reports the event to the observer, if one is set.
void asm_trace(const std::string& event);
