#pragma once
// Numbered values kept in the host's property bag and stored, encoded by the bag, as one stream.
#include <cstdint>
#include <string>
#include <vector>

#include "contract/HostInterfaces.h"
#include "header/SampleLayout.h"
#include "platform/Exceptions.h"

class CTaggedStream {
 public:
  // Creates the bag from the host's toolbox; a failure is raised with its code.
  explicit CTaggedStream(std::string streamName);

  virtual void WriteFields() = 0;
  virtual void ReadFields() = 0;

  // Puts every field into the bag and stores the bag's bytes as the stream.
  void WriteToStorage(IStorage* storage);
  // 1 when the stream was read into the fields, 0 when there is no storage or no such stream.
  int ReadFromStorage(IStorage* storage);

 protected:
  ~CTaggedStream() = default;  // used by value, never deleted through the base

  // Puts a value as it lies in memory; reads one back when present with at least its size.
  template <typename Value>
  void Put(ULONG tag, ULONG index, const Value& value) {
    ThrowIfFailed(m_pBag->SetProperty(tag, index, &value, sizeof value));
  }
  template <typename Value>
  void Get(ULONG tag, ULONG index, Value& value) {
    GetBytes(tag, index, &value, sizeof value);
  }

  ComPtr<IHostPropertyBag> m_pBag;
  std::string m_StreamName;

 private:
  void GetBytes(ULONG tag, ULONG index, void* value, std::size_t size);
};

// The resolutions and the sample layout of the data file, stored as "InternalData".
class CInternalData final : public CTaggedStream {
 public:
  CInternalData();
  // Copies the fields from a parsed header.
  void CopyFrom(const class CHeaderFile& header);

  void WriteFields() override;
  void ReadFields() override;

  std::vector<float> m_Resolutions;
  SampleLayout m_Layout = {.m_DataOrientation = MULTIPLEXED};

 private:
  // Calls visit(tag, field) for each layout field, in the order of their tags: one table for writing
  // and reading.
  template <typename Layout, typename Visit>
  static void ForEachLayoutField(Layout& layout, Visit&& visit);
};
