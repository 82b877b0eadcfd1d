# The API reference: an optional target `docs` that runs Doxygen over the
# public headers (backend/, platform/) and the Markdown pages (README.md,
# bench/RESULTS.md, docs/*.md). It exists only when Doxygen is found, is never part of the
# default build, and writes into ${CMAKE_CURRENT_BINARY_DIR}/docs/html. Any
# Doxygen warning fails the target. When omtree is not the top-level project
# the target is called omtree_docs, so that it cannot clash with a parent's
# own docs target.

find_package(Doxygen QUIET)
find_program(OMTREE_DOCS_AWK NAMES awk gawk mawk nawk)
mark_as_advanced(OMTREE_DOCS_AWK)

if(NOT DOXYGEN_FOUND OR NOT OMTREE_DOCS_AWK)
  message(STATUS "omtree: Doxygen or awk not found; the docs target is not available")
  return()
endif()

set(OMTREE_DOCS_OUTPUT_DIR "${CMAKE_CURRENT_BINARY_DIR}/docs")
set(OMTREE_DOCS_FILTER "${OMTREE_DOCS_OUTPUT_DIR}/header-comments.awk")

# The headers carry plain // comments, which Doxygen would skip. Doxygen
# passes every header through this awk program before it parses it (see
# FILTER_PATTERNS in docs/Doxyfile.in); the files themselves are not touched,
# and every line keeps its number, so warnings and "Definition at line"
# references point at the right place.
file(CONFIGURE OUTPUT "${OMTREE_DOCS_FILTER}" @ONLY CONTENT [=[
# Turns the plain // comments of an omtree header into Doxygen comments.
# Reads the whole header, then prints it with every block of // lines (lines
# that start, after indentation, with //) rewritten:
#
# - The opening block, the one that starts on line 1, describes what the
#   header declares. Its lines become /// lines, and the blank line after it
#   becomes "/// \class Name" when the block opens with a class name
#   ("OmPivotTable is ...", "OmVector<T> is ..."), or "/// \file" otherwise,
#   so that the block documents that class, or the header itself, rather
#   than whatever declaration happens to come first.
# - A block followed by code documents that code: its lines become ///.
# - A block followed by a blank line is a section comment. Inside a class
#   (indented) it stays with the members below it, as /// lines whose first
#   one starts with \details, so that the section's words do not become the
#   brief description of the next member. At the top level ("Implementation
#   details.") it introduces no declaration and stays a plain comment.
# - In /// lines, a placeholder in angle brackets that does not follow a
#   name, such as the <expression> of the assertion report, is escaped so
#   that Doxygen prints it instead of taking it for an HTML tag. Template
#   arguments (OmVector<T>) follow a name and stay as they are; so does
#   anything between backquotes.
# Trailing comments (#endif  // GUARD_H_) are not blocks and stay as they are.

function is_comment(text) { return text ~ /^[ \t]*\/\// }
function is_blank(text) { return text ~ /^[ \t]*$/ }

function escape_placeholders(text,    out, before) {
  out = ""
  while (match(text, /<[A-Za-z][A-Za-z0-9_]*>/)) {
    before = substr(text, 1, RSTART - 1)
    if (RSTART > 1 && substr(text, RSTART - 1, 1) ~ /[A-Za-z0-9_:]/)
      out = out before substr(text, RSTART, RLENGTH)
    else
      out = out before "\\<" substr(text, RSTART + 1, RLENGTH - 2) "\\>"
    text = substr(text, RSTART + RLENGTH)
  }
  return out text
}

# Turns a // line into a /// line, prefix (if any) right after the ///.
function doc_line(text, prefix,    count, parts, out, k) {
  sub(/\/\//, "///" prefix, text)
  count = split(text, parts, "`")
  out = ""
  for (k = 1; k <= count; k++) {
    if (k > 1) out = out "`"
    out = out (k % 2 == 1 ? escape_placeholders(parts[k]) : parts[k])
  }
  return out
}

# "/// \class Name" when the opening line names a class, else "/// \file".
function opening_tag(text,    name, rest) {
  name = text
  sub(/^\/\/ /, "", name)
  rest = name
  sub(/[^A-Za-z0-9_].*$/, "", name)
  rest = substr(rest, length(name) + 1)
  if (name ~ /^[A-Za-z_]/ && name ~ /[a-z][A-Z]/ && rest ~ /^(<[^>]*>)?[ \t]/)
    return "/// \\class " name
  return "/// \\file"
}

{ line[NR] = $0 }

END {
  i = 1
  while (i <= NR) {
    if (!is_comment(line[i])) {
      print line[i]
      i++
      continue
    }
    first = i
    while (i <= NR && is_comment(line[i])) i++
    last = i - 1
    blank_after = i <= NR && is_blank(line[i])
    if (first == 1) {
      for (k = first; k <= last; k++) print doc_line(line[k], "")
      if (blank_after) {
        print opening_tag(line[1])
        i++
      }
    } else if (blank_after && line[first] ~ /^\/\//) {
      for (k = first; k <= last; k++) print line[k]
    } else {
      for (k = first; k <= last; k++)
        print doc_line(line[k], (blank_after && k == first) ? " \\details" : "")
    }
  }
}
]=])

configure_file(
  "${PROJECT_SOURCE_DIR}/docs/Doxyfile.in"
  "${OMTREE_DOCS_OUTPUT_DIR}/Doxyfile"
  @ONLY)

file(GLOB_RECURSE OMTREE_DOCS_INPUTS CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/backend/*.h"
  "${PROJECT_SOURCE_DIR}/platform/*.h"
  "${PROJECT_SOURCE_DIR}/docs/*.md")
list(APPEND OMTREE_DOCS_INPUTS
  "${PROJECT_SOURCE_DIR}/README.md"
  "${PROJECT_SOURCE_DIR}/bench/RESULTS.md")

# The stamp is written only when Doxygen succeeds, so a run that failed on a
# warning is repeated on the next build.
add_custom_command(
  OUTPUT "${OMTREE_DOCS_OUTPUT_DIR}/docs.stamp"
  COMMAND "${CMAKE_COMMAND}" -E remove_directory "${OMTREE_DOCS_OUTPUT_DIR}/html"
  COMMAND Doxygen::doxygen "${OMTREE_DOCS_OUTPUT_DIR}/Doxyfile"
  COMMAND "${CMAKE_COMMAND}" -E touch "${OMTREE_DOCS_OUTPUT_DIR}/docs.stamp"
  DEPENDS
    ${OMTREE_DOCS_INPUTS}
    "${OMTREE_DOCS_OUTPUT_DIR}/Doxyfile"
    "${OMTREE_DOCS_FILTER}"
  WORKING_DIRECTORY "${OMTREE_DOCS_OUTPUT_DIR}"
  COMMENT "Generating the omtree API reference in ${OMTREE_DOCS_OUTPUT_DIR}/html"
  VERBATIM)

if(PROJECT_IS_TOP_LEVEL)
  set(OMTREE_DOCS_TARGET docs)
else()
  set(OMTREE_DOCS_TARGET omtree_docs)
endif()
add_custom_target(${OMTREE_DOCS_TARGET}
  DEPENDS "${OMTREE_DOCS_OUTPUT_DIR}/docs.stamp"
  SOURCES "${PROJECT_SOURCE_DIR}/docs/Doxyfile.in")
