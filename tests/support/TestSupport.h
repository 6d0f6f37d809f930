// Shared helpers of the test binaries.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/SimSupport.h"

namespace quarnel::test {

/// The folder of a real drive's captured blocks.
std::string DriveDataDir(const std::string& name);

/// Reads a whole file as bytes.
std::vector<uint8_t> ReadBytes(const std::string& path);

/// The names of the captured drives.
std::vector<std::string> CapturedDrives();

/// Runs a command line, returning its exit status; standard output and error
/// are captured.
int RunCommand(const std::string& command, std::string* out, std::string* err);

/// The debug lines without their timestamps.
std::vector<std::string> DebugTexts();
std::vector<std::string> MainLogTexts();

}  // namespace quarnel::test
