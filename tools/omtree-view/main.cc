// omtree-view: renders output documents as text, HTML, JSON or an Excel
// workbook (XLSX). The document
// is the built-in demo, a saved document (a FILE ending in .json, read with
// omdoc::Load), or a crosstabulation of a CSV file (any other FILE).
//
// Exit status: 0 on success, 1 on bad input or a failed write (the message
// names the file, and the line and column where there is one), 2 on a usage
// error. The output is written as it is rendered, never held whole: to
// standard output, or, named with -o, to a temporary file in the same
// directory that is renamed into place once all of it is written, so a
// failure (a full disk, say) never leaves a half-written file behind. A
// workbook is binary and needs -o: libxlsxwriter writes it to the temporary
// file by name.

#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Crosstab.h"
#include "Demo.h"
#include "Document.h"
#include "Html.h"
#include "Latex.h"
#include "Markdown.h"
#include "Pivot.h"
#include "Text.h"
#include "TidyCsv.h"
#include "Xlsx.h"

namespace {

// A failure that ends the program with status 1.
struct Failure {
  std::string message;
};

// Shows "Reading FILE: NN%" on standard error while a file is read, when
// standard error is a terminal; nothing otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(std::string path) : _path(std::move(path)), _shown(isatty(STDERR_FILENO)) {}
  ~ProgressLine() {
    if (_shown && _percent >= 0) std::fputs("\r\033[K", stderr);
  }

  void Update(std::uint64_t bytesRead, std::uint64_t totalBytes) {
    if (!_shown || totalBytes == 0) return;
    const int percent = static_cast<int>(100 * bytesRead / totalBytes);
    if (percent == _percent) return;
    _percent = percent;
    std::fprintf(stderr, "\rReading %s: %d%%", _path.c_str(), percent);
    std::fflush(stderr);
  }

 private:
  std::string _path;
  bool _shown;
  int _percent = -1;
};

// Replaces path with a file that write fills: write gets the name of a new
// temporary file in the same directory, which is renamed over path when
// write returns and removed when it throws.
template <typename Write>
void ReplaceAtomically(const std::string& path, Write write) {
  std::string temporary = path + ".XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0)
    throw Failure{path + ": cannot create a temporary file: " + std::strerror(errno)};
  close(descriptor);
  try {
    write(temporary);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  // mkstemp makes the file readable by its owner only; give it the mode a
  // newly created file would have.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temporary.c_str(), 0666 & ~mask);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int renameError = errno;
    std::remove(temporary.c_str());
    throw Failure{path + ": cannot write: " + std::strerror(renameError)};
  }
}

// Has write fill out, then flushes it; the first failed write ends it with
// a Failure naming name and the system's reason. out throws no more
// afterwards (standard output is flushed again at exit).
template <typename Write>
void WriteStream(std::ostream& out, const std::string& name, Write write) {
  errno = 0;
  int error = 0;
  out.exceptions(std::ios::badbit);
  try {
    write(out);
    out.flush();
  } catch (const std::ios_base::failure&) {
    error = errno != 0 ? errno : EIO;
  }
  out.exceptions(std::ios::goodbit);
  if (error == 0 && !out) error = errno != 0 ? errno : EIO;
  if (error != 0) throw Failure{name + ": cannot write: " + std::strerror(error)};
}

// Replaces path with what write puts into its stream, whole or not at all.
template <typename Write>
void WriteAtomically(const std::string& path, Write write) {
  ReplaceAtomically(path, [&](const std::string& temporary) {
    // The stream's buffer, the most output held at a time.
    std::vector<char> buffer(64 * 1024);
    std::ofstream file;
    file.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    file.open(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw Failure{path + ": " + std::strerror(errno)};
    WriteStream(file, path, write);
    file.close();
    if (!file) throw Failure{path + ": cannot write: " + std::strerror(errno)};
  });
}

// Whether path names a saved document rather than a CSV file: it ends in
// ".json", in any case.
bool IsSavedDocument(const std::string& path) {
  const std::string suffix = ".json";
  return path.size() >= suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), path.rbegin(), [](char a, char b) {
           return a == std::tolower(static_cast<unsigned char>(b));
         });
}

// The saved document at path.
std::unique_ptr<OmOutputTree> OpenDocument(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{path + ": cannot open: " + std::strerror(errno)};
  return omdoc::Load(in, path);
}

// Writes document in format to out as it is rendered.
void Render(OmOutputTree& document, const std::string& format, const omrender::Options& options,
            const std::string& title, bool standalone, std::ostream& out) {
  if (format == "html") {
    omrender::RenderHtml(document, options, title, out);
  } else if (format == "json") {
    omdoc::Save(document, out, omdoc::SaveOptions{true, options});
  } else if (format == "markdown") {
    omrender::RenderMarkdown(document, options, out);
  } else if (format == "csv") {
    omrender::RenderTidyCsv(document, out);
  } else if (format == "latex") {
    omrender::RenderLatex(document, options, standalone, out);
  } else {
    omrender::RenderDocument(document, options, out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Renders an output document as text, HTML, JSON or an Excel workbook: the outline with its "
      "headings, text "
      "blocks, charts, models and answer trees, and every pivot table laid out layer by layer. "
      "The document is the built-in demo (--demo) or a crosstabulation of a CSV file.",
      "omtree-view"};
  bool demo = false;
  std::string input;
  omcrosstab::CommandLine crosstab;
  omcrosstab::Request request;
  std::string format = "text";
  std::string output;
  omrender::Options options;

  CLI::Option* file = app.add_option(
      "FILE", input,
      "A saved document to show (FILE.json, as --format json writes it), or a CSV file to "
      "crosstabulate (UTF-8, RFC 4180 quoting, a header of column names).");
  app.add_flag("--demo", demo, "Render the built-in demo document (one item of every kind).")
      ->excludes("FILE");
  crosstab.AddTo(app, file);
  app.add_option("--format", format,
                 "Output format: text (default), html, json, markdown (pipe tables), csv (tidy: "
                 "one record per stored cell of every table, with a column per dimension and "
                 "group level and a \"value\" column), latex, or xlsx (an Excel workbook; needs "
                 "-o).")
      ->check(CLI::IsMember({"text", "html", "json", "markdown", "csv", "latex", "xlsx"}));
  std::string sheets = "document";
  app.add_option("--sheets", sheets,
                 "With --format xlsx: the whole document on one sheet (document, the default), or "
                 "each table on a sheet of its own named from its title (tables).")
      ->check(CLI::IsMember({"document", "tables"}));
  app.add_option("-o,--output", output,
                 "Write to this file (replaced only when the whole output is ready) instead of "
                 "standard output.");
  app.add_flag("--ascii", options.ascii, "Draw table rules with + - | instead of box characters.");
  app.add_flag("--hide-empty", options.hideEmpty,
               "Leave out the rows, columns and layers of a table that hold no cell.");
  app.add_flag("--names-in-corner", options.namesInCorner,
               "Show the row dimensions' names in the corner instead of the row labels.");
  bool standalone = false;
  app.add_flag("--standalone", standalone,
               "With --format latex, a whole document that pdflatex compiles instead of a "
               "fragment to \\input.");
  bool transpose = false;
  app.add_flag("--transpose", transpose,
               "Swap the rows and columns of every table (the layers stay).");
  app.add_option("--layer", options.layer,
                 "Show only this layer of each table, counted from 0 (default: every layer).")
      ->check(CLI::NonNegativeNumber);
  app.footer(
      "Exit status: 0 on success, 1 on bad input or a failed write, 2 on a usage error.\n"
      "Examples:\n"
      "  omtree-view --demo --hide-empty --names-in-corner\n"
      "  omtree-view --demo --format json -o report.json && omtree-view report.json --transpose\n"
      "  omtree-view survey.csv --rows region --cols sex --layers year --format html -o out.html\n"
      "  omtree-view survey.csv --rows region --cols sex --format xlsx --sheets tables -o "
      "out.xlsx\n"
      "  omtree-view survey.csv --rows city --group city=country --cols sex --stat mean "
      "--value income\n"
      "  omtree-view counts.csv --rows sex --cols admitted --weight frequency "
      "--stat count,rowpct --totals --chisq\n");
  try {
    app.parse(argc, argv);
    if (!demo && input.empty()) {
      throw CLI::ValidationError("nothing to render; give a FILE or --demo");
    }
    if (standalone && format != "latex") {
      throw CLI::ValidationError("--standalone applies to --format latex only");
    }
    if (format == "xlsx" && output.empty()) {
      throw CLI::ValidationError("--format xlsx writes a file; name it with -o");
    }
    // The crosstab options need a FILE (CLI11 checks that); a saved
    // document is shown as it is.
    if (!input.empty() && IsSavedDocument(input)) {
      if (crosstab.AnyGiven()) {
        throw CLI::ValidationError(
            "the crosstab options (--rows, --cols, --stat, ...) apply to a CSV file, not to a "
            "saved document");
      }
    } else if (!input.empty()) {
      request = crosstab.MakeRequest(input);
    }
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << "omtree-view: " << error.what() << "\nRun 'omtree-view --help' for the options.\n";
    return 2;
  }

  try {
    std::unique_ptr<OmOutputTree> document;
    std::string title = "Demo document";
    if (demo) {
      document = omrender::MakeDemoDocument();
    } else if (IsSavedDocument(input)) {
      document = OpenDocument(input);
      title = input;
    } else {
      ProgressLine progress(input);
      document = omcrosstab::BuildCrosstab(
          request, [&](std::uint64_t read, std::uint64_t total) { progress.Update(read, total); });
      title = input;
    }
    if (transpose) omdoc::Transpose(*document);
    if (format == "xlsx") {
      omrender::XlsxOptions xlsx;
      if (sheets == "tables") xlsx.sheets = omrender::XlsxOptions::Sheets::kTables;
      ReplaceAtomically(output, [&](const std::string& temporary) {
        omrender::WriteXlsx(*document, options, xlsx, temporary);
      });
      return 0;
    }
    const auto write = [&](std::ostream& out) {
      Render(*document, format, options, title, standalone, out);
    };
    if (output.empty()) {
      WriteStream(std::cout, "standard output", write);
    } else {
      WriteAtomically(output, write);
    }
  } catch (const omdoc::LoadError& error) {
    std::cerr << "omtree-view: " << error.what() << '\n';
    return 1;
  } catch (const omcrosstab::InputError& error) {
    std::cerr << "omtree-view: " << error.what() << '\n';
    return 1;
  } catch (const omrender::XlsxError& error) {
    std::cerr << "omtree-view: " << output << ": " << error.what() << '\n';
    return 1;
  } catch (const Failure& failure) {
    std::cerr << "omtree-view: " << failure.message << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "omtree-view: out of memory\n";
    return 1;
  }
  return 0;
}
