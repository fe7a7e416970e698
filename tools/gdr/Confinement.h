#pragma once
// --confine: a recording's files must lie in one folder, so that a header or a store from someone
// else cannot make gdr read other files of the user's (a key, /proc/self/environ) as samples or
// markers. Each check answers the refusal's text, or nothing when every file lies inside.
#include <string>

// The data and marker files that a header (a UTF-8 path) names must lie in the header's folder.
std::string HeaderConfinement(const std::string& header);
// A store's data file (UTF-8; empty: none) must lie in the store's folder.
std::string StoreConfinement(const std::string& store, const std::string& dataFile);
