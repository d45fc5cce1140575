// Partial-reconfiguration option data of the device option block.
#pragma once

class ASM_OPTION2_PR_INFO
{
public:
    // Reads the partial-reconfiguration settings of the current design.
    ASM_OPTION2_PR_INFO();

    // Boolean project setting 1254 (bitstream verification); false when
    // the setting is absent.
    bool m_bitstream_verification;
};
