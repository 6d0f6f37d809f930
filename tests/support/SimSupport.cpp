#include "support/SimSupport.h"

#include <cstdio>
#include <cstdlib>

#include "app/StartUp.h"

namespace quarnel::test {

SimHost& UseSimHost(const std::string& json) {
  ResetProcessState();
  std::string error;
  auto host = SimHost::FromJson(json, QUARNEL_TEST_DATA, &error);
  if (!host) {
    std::fprintf(stderr, "bad description: %s\n%s\n", error.c_str(), json.c_str());
    std::abort();
  }
  SimHost& ref = *host;
  SetHost(std::move(host));
  return ref;
}

}  // namespace quarnel::test
