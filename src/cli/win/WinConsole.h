// The terminal program's Windows console: UTF-8 text shown through
// WriteConsoleW, the terminal line erase of the progress line done with the
// console's own calls, and the user's decimal separator.
#pragma once

#include <memory>
#include <streambuf>
#include <string>

#include "base/WideText.h"

namespace quarnel {

/// True when the standard handle (STD_OUTPUT_HANDLE, ...) is a console.
bool IsConsoleHandle(unsigned long standardHandle);

/// A stream buffer writing UTF-8 to a console window as UTF-16. "\r" goes to
/// the start of the line; ESC [ K erases to its end, as terminals do.
class TConsoleBuffer : public std::streambuf {
 public:
  explicit TConsoleBuffer(void* console);
  ~TConsoleBuffer() override;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void WriteText(const std::string& text);
  void EraseToEndOfLine();

  void* console_;
  std::string pending_;  // bytes not yet written: a partial character or escape
};

/// While it lives, std::cout and std::cerr write through TConsoleBuffers
/// where they are consoles; their own buffers come back at its end, before
/// the C runtime's exit flushes the streams.
class TConsoleStreams {
 public:
  TConsoleStreams();
  ~TConsoleStreams();
  TConsoleStreams(const TConsoleStreams&) = delete;
  TConsoleStreams& operator=(const TConsoleStreams&) = delete;

 private:
  std::unique_ptr<TConsoleBuffer> out_, err_;
  std::streambuf* previousOut_ = nullptr;
  std::streambuf* previousErr_ = nullptr;
};

}  // namespace quarnel
