// The supervisor's reading of a member's output: any bytes, cut into pieces
// of any size, must come out as events whose figures hold together, or as
// the member's own text; never more than one thing per line.
#include <algorithm>
#include <cstdint>
#include <string>

#include "batch/BatchProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 64;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;
  quarnel::TMemberStream stream;
  size_t events = 0;
  quarnel::TMemberEvent e;
  const auto drain = [&] {
    while (stream.Next(&e)) {
      ++events;
      using TKind = quarnel::TMemberEvent::TKind;
      if (e.Kind == TKind::Progress &&
          (e.Progress.Done < 0 || e.Progress.Done > e.Progress.Total || e.Progress.ElapsedMs < 0)) {
        __builtin_trap();
      }
      if (e.Kind == TKind::Outcome && (e.Row.ExitStatus < -1 || e.Row.ExitStatus > 255)) {
        __builtin_trap();
      }
      if (e.Kind != TKind::Text && e.Stray) __builtin_trap();
    }
  };
  for (size_t at = 0; at < length; at += piece) {
    stream.Feed(bytes + at, std::min(piece, length - at));
    drain();
  }
  stream.End();
  drain();
  const size_t lines = static_cast<size_t>(std::count(bytes, bytes + length, '\n')) + 1;
  if (events > lines) __builtin_trap();
  // Reading a line alone gives what the stream gave for it.
  const std::string line(bytes, std::find(bytes, bytes + length, '\n'));
  (void)quarnel::ReadMemberLine(line);
  quarnel::TRunOrder order;
  std::string error;
  if (quarnel::ReadRunOrder(line, &order, &error)) {
    quarnel::TRunOrder again;
    if (!quarnel::ReadRunOrder(quarnel::RunOrderJson(order), &again, &error) ||
        again.Identity.Model != order.Identity.Model || again.Path != order.Path) {
      __builtin_trap();
    }
  }
  return 0;
}
