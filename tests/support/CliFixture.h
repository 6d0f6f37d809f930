// The terminal program run in this process with a fresh process state: its
// arguments, what is typed at it, whether its streams are terminals, and
// what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/StartUp.h"
#include "cli/CliApp.h"
#include "host/Host.h"
#include "support/TestSupport.h"

namespace quarnel::test {

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessState(); }
  void TearDown() override { SetHost(nullptr); }

  /// Runs quarnel-cli with `args`; `typed` is its standard input, a terminal
  /// when `terminal` says so, and standard error one when `errTerminal`.
  int Run(const std::vector<std::string>& args, const std::string& typed = "",
          bool terminal = false, bool errTerminal = false) {
    std::istringstream in(typed);
    std::ostringstream out, err;
    const int status = RunCli("quarnel-cli", args, out, err, {&in, terminal, errTerminal});
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  /// A file of the test's own folder holding `text`; its path.
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  bool OutHas(const std::string& part) const { return out_.find(part) != std::string::npos; }
  bool ErrHas(const std::string& part) const { return err_.find(part) != std::string::npos; }

  TTempFolder dir_{"cli"};
  std::string out_, err_;
};

}  // namespace quarnel::test
