// SPDX-License-Identifier: GPL-3.0-or-later
// Entry points of the fuzz harnesses: each feeds one input to one parser of outside input.
// The libFuzzer programs and the corpus replay test call these very functions, so what the
// fuzzer found is replayed exactly as it was found.
#pragma once

#include <cstddef>
#include <cstdint>

// A 70-byte live record from the unit, decoded and written back as a log line.
int fuzz_frame(const uint8_t* data, size_t size);
// One sample line of a live log.
int fuzz_log_line(const uint8_t* data, size_t size);
// A whole live-log file, read from memory, with its settings section.
int fuzz_log_reader(const uint8_t* data, size_t size);
// A custom analog conversion table (CSV).
int fuzz_cust_an_csv(const uint8_t* data, size_t size);
// A settings file, then the report of what it holds.
int fuzz_vars_file(const uint8_t* data, size_t size);
// The unit's replies to a full read of its settings.
int fuzz_protocol_replies(const uint8_t* data, size_t size);
// A duty table record as files and the unit hold it.
int fuzz_table_record(const uint8_t* data, size_t size);
// A firmware image checked before flashing.
int fuzz_fw_image(const uint8_t* data, size_t size);

struct fuzz_target
{
    const char* name; // also the folder of its corpus and regression inputs
    int (*run)(const uint8_t*, size_t);
};

/// Every harness, for the replay test.
extern const fuzz_target fuzz_targets[];
extern const int fuzz_target_count;

/// Silences the parsers' messages (a fuzzer makes millions of them; fatal ones still abort)
/// and fixes the hash seed, so that an input takes the same path every time it is run.
void fuzz_setup();
