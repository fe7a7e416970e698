// gdr export: a recording as an EDF+ or BDF+ file, through the library's exporter.
#include "Commands.h"
#include "Selection.h"
#include "Text.h"
#include "gdr/Export.h"

int RunExport(const ExportArguments& arguments) {
  try {
    const gdr::Recording recording = gdr::Recording::Open(arguments.source);
    gdr::ExportOptions options;
    options.format = arguments.format;
    options.first = arguments.from;
    options.count = arguments.count;
    options.channels = SelectChannels(arguments.channels, recording);
    const Progress progress(1000);
    options.progress = [&](double done) { progress.Update(std::int64_t(done * 1000)); };
    for (const std::string& note : gdr::ExportEdf(recording, arguments.output, options).notes) Complain(note);
    return 0;
  } catch (const gdr::Error& e) {
    Complain(e.what());
    return 2;
  }
}
