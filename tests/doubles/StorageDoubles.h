#pragma once
// A recording storage for the tests: an in-memory storage whose operations, and those of the streams
// it hands out, are recorded in a CallRecorder ("Storage.CreateStream(Name, 0x1012)",
// "Stream.Write(Name, 9 bytes)") and can be made to fail like the host's.
#include "doubles/HostDoubles.h"
#include "platform/ComPtr.h"
#include "platform/Storage.h"

// Wraps `real`; the recorder must outlive the storage.
ComPtr<IStorage> MakeRecordingStorage(CallRecorder& recorder, ComPtr<IStorage> real);
// The bytes of a stream of an in-memory storage, or "<none>" when it has none.
std::string StreamBytes(IStorage* storage, LPCOLESTR name);
