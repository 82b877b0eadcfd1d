// omtree-view: renders output documents as text. For now the one document it
// knows is the built-in demo.

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "Demo.h"
#include "Render.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Renders an output document as text: the outline with its headings, text blocks, "
      "charts, models and answer trees, and every pivot table laid out layer by layer.",
      "omtree-view"};
  bool demo = false;
  omrender::Options options;
  app.add_flag("--demo", demo, "Render the built-in demo document (one item of every kind).");
  app.add_flag("--ascii", options.ascii, "Draw table rules with + - | instead of box characters.");
  app.add_flag("--hide-empty", options.hideEmpty,
               "Leave out the rows, columns and layers of a table that hold no cell.");
  app.add_flag("--names-in-corner", options.namesInCorner,
               "Show the row dimensions' names in the corner instead of the row labels.");
  app.add_option("--layer", options.layer,
                 "Show only this layer of each table, counted from 0 (default: every layer).")
      ->check(CLI::NonNegativeNumber);
  app.footer(
      "Exit status: 0 on success, 2 on a usage error.\n"
      "Example: omtree-view --demo --hide-empty --names-in-corner\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << "omtree-view: " << error.what() << "\nRun 'omtree-view --help' for the options.\n";
    return 2;
  }
  if (!demo) {
    std::cerr << "omtree-view: nothing to render; use --demo.\n"
                 "Run 'omtree-view --help' for the options.\n";
    return 2;
  }
  std::cout << omrender::RenderDocument(*omrender::MakeDemoDocument(), options);
  return 0;
}
