// gdr: imports, inspects and reads EEG recordings of the generic exchange format, as a host does.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>

#include "Commands.h"

int main(int argc, char** argv) {
  CLI::App app{
      "gdr: import, inspect and read EEG recordings of the generic exchange format (.shdr header,\n"
      "marker file, binary or ASCII data) through the generic data reader component.\n\n"
      "Example:\n  gdr import rec.shdr rec.gdr && gdr read rec.gdr --from 0 --count 500 --channels Fp1,Cz"};
  app.require_subcommand(1);
  // The same options on every platform: a path such as /data/rec.gdr is never a Windows-style option.
  app.allow_windows_style_options(false);
  app.set_help_all_flag("--help-all", "Every command's help");

  bool json = false;
  std::string header, store;
  CLI::App* info = app.add_subcommand("info",
                                      "Parse a header and show what it describes.\n\n"
                                      "Example: gdr info rec.shdr --json\n"
                                      "Exit status: 0 parsed, 1 not this format, 2 invalid, 3 unreadable.");
  info->add_option("HEADER", header, "The .shdr header file")->required();
  info->add_flag("--json", json, "One JSON object: result, message and the parsed header");
  bool confine = false;
  const char* const confineHelp =
      "Refuse a data or marker file outside the folder of the header (or store): for recordings from others";
  info->add_flag("--confine", confine, confineHelp);

  CLI::App* import = app.add_subcommand("import",
                                        "Import a recording into a new store (a compound file).\n\n"
                                        "Example: gdr import rec.shdr rec.gdr\n"
                                        "An existing store is replaced only when the import succeeds.");
  import->add_option("HEADER", header, "The .shdr header file")->required();
  import->add_option("STORE", store, "The store to write")->required();
  import->add_flag("--confine", confine, confineHelp);

  CLI::App* dump = app.add_subcommand("dump", "Show everything a store holds.\n\nExample: gdr dump rec.gdr --json");
  dump->add_option("STORE", store, "The store")->required();
  dump->add_flag("--json", json, "One JSON object");

  ReadOptions read;
  CLI::App* readCommand =
      app.add_subcommand("read",
                         "Read samples as a host does: LoadFromStorage, then GetData.\n\n"
                         "Example: gdr read rec.gdr --from 1000 --count 500 --channels Fp1,O2 --format csv\n"
                         "SOURCE is a store, or a .shdr header (imported into memory first). Channels are\n"
                         "numbers from 0 or names; csv has a line of column names, then one line per point;\n"
                         "f32 is the raw little-endian float32 block, point-major.");
  readCommand->add_option("SOURCE", read.source, "A store or a .shdr header")->required();
  readCommand->add_option("--from", read.from, "First data point (from 0)")->default_val(0);
  readCommand->add_option("--count", read.count, "Number of data points (default: to the end)");
  readCommand->add_option("--channels", read.channels, "Channels by number or name, comma-separated (default: all)");
  readCommand->add_option("--format", read.format, "csv or f32")
      ->check(CLI::IsMember({"csv", "f32"}))
      ->default_val("csv");
  readCommand->add_option("--output", read.output, "Write to this file instead of stdout");
  readCommand->add_flag("--confine", read.confine, confineHelp);

  CLI::App* registerCommand = app.add_subcommand("register", "Register the component module with the host's registry");
  CLI::App* unregisterCommand = app.add_subcommand("unregister", "Remove the component module's registration");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& requested) {
    return app.exit(requested);  // --help, --help-all
  } catch (const CLI::ParseError& error) {
    // A usage error is one of the tool's own errors: one "gdr: " line, exit 2.
    std::fprintf(stderr, "gdr: %s (see gdr --help)\n", error.what());
    return 2;
  }
  try {
    if (info->parsed()) return RunInfo(header, json, confine);
    if (import->parsed()) return RunImport(header, store, confine);
    if (dump->parsed()) return RunDump(store, json);
    if (readCommand->parsed()) return RunRead(read);
    if (registerCommand->parsed()) return RunRegister(false);
    if (unregisterCommand->parsed()) return RunRegister(true);
  } catch (const std::bad_alloc&) {
    // A recording or store that asks for more memory than there is ends the command, never in an abort.
    std::fputs("gdr: 0x8007000E out of memory\n", stderr);
    return 3;
  }
  return 2;
}
