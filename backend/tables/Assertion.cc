#include "backend/tables/Assertion.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

void ReportAndAbort(const char* expression, const char* source, int line) {
  std::fprintf(stderr, "%s\n", OmAssertion::Format(expression, source, line).c_str());
  std::fflush(stderr);
  std::abort();
}

std::atomic<OmAssertion::Handler> installed_handler{&ReportAndAbort};

}  // namespace

OmAssertion::Handler OmAssertion::SetHandler(Handler handler) {
  return installed_handler.exchange(handler != nullptr ? handler : &ReportAndAbort);
}

void OmAssertion::Fail(const char* expression, const char* source, int line) {
  installed_handler.load()(expression, source, line);
  std::abort();
}

std::string OmAssertion::Format(const char* expression, const char* source, int line) {
  std::string report = "Assertion failed: ";
  report += expression;
  report += ", file ";
  report += source;
  report += ", line ";
  report += std::to_string(line);
  return report;
}
