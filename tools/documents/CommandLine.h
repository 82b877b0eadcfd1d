// The omtree-view options that describe a crosstabulation (--rows, --cols,
// --layers, --stat, --value, --weight, --stats-in, --totals, --missing,
// --include-missing, --sort, --group, --chisq) and the Request they make.
// They live here, apart from the command's document and format options, so
// that the command's source names them in one line; Crosstab.cc's command
// line (the procedure's command) writes them back in the same words.
//
// Usage errors (status 2): an unknown or repeated statistic, a statistic
// that needs --value without it, --chisq without exactly one --rows and one
// --cols column, a --group that is not COLUMN=BY[,BY...], neither --rows nor
// --cols. The request's other faults (a column used twice, ...) are left to
// CheckRequest and BuildCrosstab, which report them as bad input.
//
// An object is used from one thread; it is not copyable, as the parser
// holds pointers to its members.

#ifndef OMTREE_TOOLS_DOCUMENTS_COMMANDLINE_H_
#define OMTREE_TOOLS_DOCUMENTS_COMMANDLINE_H_

#include <string>
#include <vector>

#include "Crosstab.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace omcrosstab {

class CommandLine {
 public:
  CommandLine() = default;
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Adds the options to app, each needing file, the option that names the
  // CSV file. The options write into this object, which must outlive the
  // parse.
  void AddTo(CLI::App& app, CLI::Option* file);

  // The request for the CSV file at path, from the options as parsed.
  // Throws CLI::ValidationError on a usage error.
  Request MakeRequest(const std::string& path) const;
  // Whether any of the options was given.
  bool AnyGiven() const;

 private:
  Request _request;  // the options that go into it unchanged
  std::vector<std::string> _statistics = {"count"};
  std::string _statisticsPlace = "rows";
  bool _sorted = false;
  std::vector<std::string> _groupings;
  std::vector<const CLI::Option*> _options;  // owned by the app
};

}  // namespace omcrosstab

#endif  // OMTREE_TOOLS_DOCUMENTS_COMMANDLINE_H_
