#include "asm_trace.h"

namespace
{
ASM_TRACE_OBSERVER trace_observer = nullptr;
}

void asm_set_trace_observer(ASM_TRACE_OBSERVER observer) { trace_observer = observer; }

bool asm_tracing() { return trace_observer != nullptr; }

void asm_trace(const std::string& event)
{
    if (trace_observer != nullptr)
        trace_observer(event);
}
