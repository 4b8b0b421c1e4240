// The component stream: "TPF0" and one object record, children nested, written and read generically
// from the class descriptions of the registered patch classes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "patch/res_base.h"
#include "patch/stream_error.h"
#include "support/variant.h"

namespace kestrane::patch {

// The signature and the root's record, its children recursively. The FILEDATA contents are
// compressed on `threads` threads (0: one per core, 1: on the calling thread alone); the bytes are
// the same whatever the number.
support::Bytes WriteObjectStream(const TResBase& root, unsigned threads = 0);

// Reads a stream into an existing root: properties present are assigned, absent ones keep their
// values, child records create new objects owned by their parent. Throws EStreamError; what was read
// before a failure stays.
void ReadObjectStream(std::span<const std::uint8_t> bytes, TResBase& root);

// Reads a stream whose root is created from its class name through the registry.
std::unique_ptr<TResBase> ReadObjectStream(std::span<const std::uint8_t> bytes);
// Reads a stream as the function above does and fails as it fails, keeping nothing: each file content
// is dropped once read, so that no more than one is held at a time.
void CheckObjectStream(std::span<const std::uint8_t> bytes);

// Fill and empty the registry of the eighteen classes that child records may name.
void RegisterStreamClasses();
void UnregisterStreamClasses();
// The registered class of that name (letter case ignored), or nullptr.
const TClassInfo* FindStreamClass(std::string_view name);

}  // namespace kestrane::patch
