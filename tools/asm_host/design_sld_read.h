// Reads the debug (SLD) keys of design.json: "compile_instance" and the
// "debug" object, with the readers of design_json.h, so that these keys are
// checked and reported like every other key.
#pragma once

#include "design.h"

namespace design_json
{
class OBJECT;
}

// Reads the keys from the top object of the file into design.sld; the
// partitions must have been read. The directories are checked against the
// design directory when the file's label is a path of an existing file.
void read_design_sld(design_json::OBJECT& top, DESIGN& design);
