// gdr: imports, inspects and reads EEG recordings of the generic exchange format, as a host does.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>

#include "Commands.h"
#include "Text.h"
#include "platform/WinError.h"

namespace {

const char* const kConfineHelp =
    "Refuse a data or marker file outside the folder of the header (or store): for recordings from others";

// Each command: its options, and a callback that runs it and keeps its exit status.
void AddInfo(CLI::App& app, InfoOptions& o, int& status) {
  CLI::App* info = app.add_subcommand("info",
                                      "Show what a header or a store describes.\n\n"
                                      "Example: gdr info rec.shdr --json\n"
                                      "Exit status: 0 parsed, 1 not this format, 2 invalid, 3 unreadable.");
  info->add_option("SOURCE", o.header, "The .shdr header file, or a store")->required();
  info->add_flag("--json", o.json, "One JSON object: result, message and the parsed header (a store: as gdr dump)");
  info->add_flag("--confine", o.confine, kConfineHelp);
  info->callback([&] { status = RunInfo(o); });
}

void AddImport(CLI::App& app, ImportOptions& o, int& status) {
  CLI::App* import = app.add_subcommand("import",
                                        "Import a recording into a new store (a compound file).\n\n"
                                        "Example: gdr import rec.shdr rec.gdr\n"
                                        "An existing store is replaced only when the import succeeds.");
  import->add_option("HEADER", o.header, "The .shdr header file")->required();
  import->add_option("STORE", o.store, "The store to write")->required();
  import->add_flag("--confine", o.confine, kConfineHelp);
  import->callback([&] { status = RunImport(o);
});
}  // namespace

void AddDump(CLI::App& app, DumpOptions& o, int& status) {
  CLI::App* dump = app.add_subcommand("dump", "Show everything a store holds.\n\nExample: gdr dump rec.gdr --json");
  dump->add_option("STORE", o.store, "The store")->required();
  dump->add_flag("--json", o.json, "One JSON object");
  dump->callback([&] { status = RunDump(o); });
}

// SOURCE and the range and channels of it, as read and export take them.
void AddSelection(CLI::App* command, SelectionOptions& o) {
  command->add_option("SOURCE", o.source, "A store or a .shdr header")->required();
  command->add_option("--from", o.from, "First data point (from 0)")->default_val(0);
  command->add_option("--count", o.count, "Number of data points (default: to the end)");
  command->add_option("--channels", o.channels, "Channels by number or name, comma-separated (default: all)");
  command->add_flag("--confine", o.confine, kConfineHelp);
}

void AddRead(CLI::App& app, ReadOptions& o, int& status) {
  CLI::App* read =
      app.add_subcommand("read",
                         "Read samples as a host does: LoadFromStorage, then GetData.\n\n"
                         "Example: gdr read rec.gdr --from 1000 --count 500 --channels Fp1,O2 --format csv\n"
                         "SOURCE is a store, or a .shdr header (imported into memory first). Channels are\n"
                         "numbers from 0 or names; csv has a line of column names, then one line per point;\n"
                         "f32 is the raw little-endian float32 block, point-major.");
  AddSelection(read, o);
  read->add_option("--format", o.format, "csv or f32")->check(CLI::IsMember({"csv", "f32"}))->default_val("csv");
  read->add_option("--output", o.output, "Write to this file instead of stdout");
  read->callback([&] { status = RunRead(o); });
}

void AddExport(CLI::App& app, ExportArguments& o, int& status) {
  CLI::App* exporting = app.add_subcommand("export",
                                           "Write a recording as an EDF+ or BDF+ file, its markers as annotations.\n\n"
                                           "Example: gdr export rec.shdr rec.bdf --channels Fp1,Cz\n"
                                           "Integer samples keep their digital values; float samples are quantised\n"
                                           "(the step is said on stderr). OUTPUT is written whole or not at all.");
  AddSelection(exporting, o);
  exporting->add_option("OUTPUT", o.output, "The .edf or .bdf file to write")->required();
  exporting->add_option("--format", o.format, "edf or bdf (default: from OUTPUT's extension)")
      ->check(CLI::IsMember({"edf", "bdf"}));
  exporting->callback([&] { status = RunExport(o); });
}

void AddRegistration(CLI::App& app, int& status) {
  app.add_subcommand("register", "Register the component module with the host's registry")->callback([&] {
    status = RunRegister(false);
  });
  app.add_subcommand("unregister", "Remove the component module's registration")->callback([&] {
    status = RunRegister(true);
  });
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "gdr: import, inspect and read EEG recordings of the generic exchange format (.shdr header,\n"
      "marker file, binary or ASCII data) through the generic data reader component.\n\n"
      "Example:\n  gdr import rec.shdr rec.gdr && gdr read rec.gdr --from 0 --count 500 --channels Fp1,Cz"};
  app.require_subcommand(1);
  // The same options on every platform: a path such as /data/rec.gdr is never a Windows-style option.
  app.allow_windows_style_options(false);
  app.set_help_all_flag("--help-all", "Every command's help");
  app.set_version_flag("--version", "gdr " GDR_VERSION, "The version of gdr");

  int status = 2;
  InfoOptions info;
  ImportOptions import;
  DumpOptions dump;
  ReadOptions read;
  ExportArguments exporting;
  AddInfo(app, info, status);
  AddImport(app, import, status);
  AddDump(app, dump, status);
  AddRead(app, read, status);
  AddExport(app, exporting, status);
  AddRegistration(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& requested) {
    return app.exit(requested);  // --help, --help-all, --version
  } catch (const CLI::ParseError& error) {
    // A usage error is one of the tool's own errors: one "gdr: " line, exit 2.
    std::fprintf(stderr, "gdr: %s (see gdr --help)\n", error.what());
    return 2;
  } catch (const std::bad_alloc&) {
    // A recording or store that asks for more memory than there is ends the command, never in an abort.
    Complain(HexCode(E_OUTOFMEMORY) + " out of memory");
    return 3;
  }
  return status;
}
