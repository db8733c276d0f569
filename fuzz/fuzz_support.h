// What every fuzz target shares: a private system root, removed at exit,
// and no dialog that writes to the terminal or waits for an answer.
#pragma once
#include <string>

namespace fuzz_support {

// Call from LLVMFuzzerInitialize: makes a fresh system root under the
// temporary folder the process's root, turns off the echo of dialogs and
// reads standard input from /dev/null, so nothing asks on a terminal.
void Init();

// Host path of a scratch file inside that root.
std::string ScratchFile(const std::string& name);

// Writes DATA to HOSTPATH whole; aborts when it cannot (the run is void).
void WriteWhole(const std::string& hostPath, const void* data, size_t size);

}  // namespace fuzz_support
