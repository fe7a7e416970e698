#pragma once
// Recordings for the benchmarks, written once into a folder ($GDR_BENCH_DIR, else /tmp/gdr-bench)
// and reused while their size matches.
#include <cstdint>
#include <string>

namespace bench {

std::string Folder();
// A binary data file of `bytes` bytes of varied 16-bit or float values (or packed 12-bit numbers).
std::string BinaryFile(const std::string& name, std::uint64_t bytes, bool floats);
// An ASCII data file of `lines` lines, each with `channels` numbers such as "-123.45".
std::string AsciiFile(const std::string& name, std::uint64_t lines, int channels);

}  // namespace bench
