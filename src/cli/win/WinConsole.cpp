#include "cli/win/WinConsole.h"

#include <windows.h>

#include <iostream>

namespace quarnel {

namespace {

constexpr char kEscape = '\033';

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

bool IsConsoleHandle(unsigned long standardHandle) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(standardHandle), &mode) != FALSE;
}

TConsoleBuffer::TConsoleBuffer(void* console) : console_(console) {}

TConsoleBuffer::~TConsoleBuffer() { sync(); }

TConsoleBuffer::int_type TConsoleBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (pending_.size() >= 4096 || c == '\n') sync();
  return c;
}

int TConsoleBuffer::sync() {
  std::string text;
  size_t i = 0;
  while (i < pending_.size()) {
    const char c = pending_[i];
    if (c == kEscape) {
      if (pending_.size() - i < 3) break;  // the rest of the escape comes later
      WriteText(text);
      text.clear();
      if (pending_[i + 1] == '[' && pending_[i + 2] == 'K') EraseToEndOfLine();
      i += 3;
      continue;
    }
    const size_t length = SequenceLength(static_cast<unsigned char>(c));
    if (pending_.size() - i < length) break;  // a character split between writes
    text.append(pending_, i, length);
    i += length;
  }
  WriteText(text);
  pending_.erase(0, i);
  return 0;
}

void TConsoleBuffer::WriteText(const std::string& text) {
  if (text.empty()) return;
  const std::wstring wide = WideFromUtf8(text);
  DWORD written = 0;
  ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

void TConsoleBuffer::EraseToEndOfLine() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(console_, &info)) return;
  const DWORD count = static_cast<DWORD>(info.dwSize.X - info.dwCursorPosition.X);
  DWORD done = 0;
  ::FillConsoleOutputCharacterW(console_, L' ', count, info.dwCursorPosition, &done);
  ::FillConsoleOutputAttribute(console_, info.wAttributes, count, info.dwCursorPosition, &done);
}

TConsoleStreams::TConsoleStreams() {
  if (IsConsoleHandle(STD_OUTPUT_HANDLE)) {
    out_ = std::make_unique<TConsoleBuffer>(::GetStdHandle(STD_OUTPUT_HANDLE));
    previousOut_ = std::cout.rdbuf(out_.get());
  }
  if (IsConsoleHandle(STD_ERROR_HANDLE)) {
    err_ = std::make_unique<TConsoleBuffer>(::GetStdHandle(STD_ERROR_HANDLE));
    previousErr_ = std::cerr.rdbuf(err_.get());
  }
}

TConsoleStreams::~TConsoleStreams() {
  if (out_) {
    std::cout.flush();
    std::cout.rdbuf(previousOut_);
  }
  if (err_) {
    std::cerr.flush();
    std::cerr.rdbuf(previousErr_);
  }
}

}  // namespace quarnel
