// Decodes record bytes with the real protoc over the module's schema files:
// an independent reader of what the module stores. Tests that include this
// define ASM_PROTOC (protoc's path) and ASM_TEST_SOURCE_DIR.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

// protoc's text of the bytes as the message type (such as "PB.OPTIONS") of
// the schema file; "(protoc failed)" is appended when protoc rejects them.
inline std::string protoc_decode(const std::string& type, const std::string& proto, const std::string& wire)
{
    char path[] = "/tmp/asm_record_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "(no temporary file)";
    close(fd);
    std::ofstream(path, std::ios::binary) << wire;
    const std::string command = std::string(ASM_PROTOC) + " --proto_path=" ASM_TEST_SOURCE_DIR "/comp/asm --decode=" +
                                type + " " + proto + " < " + path + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            output.append(buffer, n);
        if (pclose(pipe) != 0)
            output += "(protoc failed)";
    }
    std::remove(path);
    return output;
}
