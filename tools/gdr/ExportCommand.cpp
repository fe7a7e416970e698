// gdr export: a recording as an EDF+ or BDF+ file, through the library's exporter.
#include "Commands.h"
#include "Selection.h"
#include "Source.h"
#include "Text.h"
#include "gdr/Export.h"

int RunExport(const ExportArguments& arguments) {
  try {
    const gdr::Recording recording = OpenRecording(arguments.source, arguments.confine);
    gdr::ExportOptions options;
    options.format = arguments.format;
    options.first = arguments.from;
    options.count = arguments.count;
    options.channels = SelectChannels(arguments.channels, recording);
    gdr::ExportReport report;
    {
      const Progress progress(1000);
      options.progress = [&](double done) { progress.Update(std::int64_t(done * 1000)); };
      report = gdr::ExportEdf(recording, arguments.output, options);
    }
    for (const std::string& note : report.notes) Complain(note);
    return 0;
  } catch (const gdr::Error& error) {
    Report(error);
    return 2;
  }
}
