// The one facility behind every precondition check of the library.
//
// A failed check reports exactly one line,
//
//   Assertion failed: <expression>, file <source>, line <line>
//
// where <expression> is the check's own text, <source> the logical source
// name of the component that made it (for example "backend/tables/ListTree")
// and <line> its line number. The default handler writes that line to standard
// error and aborts the process. A caller may install its own handler, for
// instance one that throws; if a handler returns, the process aborts all the
// same, since the code after a check assumes that the check held.
//
// The installed handler is process-wide. Install it before the library is
// used from several threads; reading and replacing it are atomic.

#ifndef OMTREE_BACKEND_TABLES_ASSERTION_H_
#define OMTREE_BACKEND_TABLES_ASSERTION_H_

#include <string>

#include "backend/omtree/Export.h"

class OMTREE_EXPORT OmAssertion {
 public:
  using Handler = void (*)(const char* expression, const char* source, int line);

  OmAssertion() = delete;

  // Installs handler and returns the one it replaces. A null handler
  // reinstates the default (report to standard error, then abort).
  static Handler SetHandler(Handler handler);

  // Reports a failed check through the installed handler. Never returns
  // normally: the handler may throw; otherwise the process aborts.
  [[noreturn]] static void Fail(const char* expression, const char* source, int line);

  // The report line for a failed check, without a line end.
  static std::string Format(const char* expression, const char* source, int line);
};

// Checks condition; on failure reports expression (the check's text, as a
// string literal), source (the logical source name) and line.
#define OM_ASSERT(condition, expression, source, line) \
  ((condition) ? static_cast<void>(0) : OmAssertion::Fail(expression, source, line))

#endif  // OMTREE_BACKEND_TABLES_ASSERTION_H_
