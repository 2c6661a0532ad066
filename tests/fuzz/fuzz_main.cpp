// SPDX-License-Identifier: GPL-3.0-or-later
// The libFuzzer program of one harness; QUORVANE_FUZZ_ENTRY names its entry point.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return QUORVANE_FUZZ_ENTRY(data, size);
}
