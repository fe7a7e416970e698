#pragma once
// The recordings that gdr reads, exports and imports through the library, with gdr's own refusals
// first, and the library's failures told as gdr tells them.
#include <optional>
#include <string>

#include "gdr/Recording.h"

// A header or a store, opened with the library. Refused first: with `confine`, a header that names
// files outside its folder or a store whose data file lies outside the store's; a header that names a
// file the ANSI code page cannot hold (in place of the component's "not found").
gdr::Recording OpenRecording(const std::string& source, bool confine);
// Recording::Import, with the same refusals of the header.
void ImportRecording(const std::string& header, const std::string& store, bool confine);
// A failure as gdr tells it: the component's messages as it showed them, then one "gdr: " line.
// Answers the exit status: 1 for a header of another format, else 2.
int Report(const gdr::Error& error);
// The data points that the binary data file of a header or a store holds, from its length; none for
// ASCII data or when it cannot be told. Read before the recording is opened.
std::optional<std::int64_t> PointsInDataFile(const std::string& source);
