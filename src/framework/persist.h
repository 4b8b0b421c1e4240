// Entry points that turn framework objects into bytes and back with the tagged encoding.
#pragma once

#include <memory>

#include "framework/collection.h"
#include "framework/tagged.h"
#include "support/variant.h"

namespace kestrane::framework {

// Null arguments raise 1027 with "SaveObjectToBlob(Obj)", "LoadObjectFromBlob(Data)",
// "LoadObjectFromBlob(,Obj)" or "SaveOrLoadTarget(Target)".
support::Bytes SaveObjectToBlob(TQELPersistObject* obj);
void LoadObjectFromBlob(const support::Bytes* data, TQELPersistObject* obj);
void SaveOrLoadTarget(TQELPersistObject* target, TQELWriter* writer, TQELReader* reader);

// A Boolean "present", then the class reference and the object's own data.
void WriteObject(TQELWriter& w, TQELPersistObject* obj);
// Reads into obj; a stored object of another class replaces obj by one created from the class
// dictionary (1296 when unknown), a stored "absent" leaves none.
void ReadObject(TQELReader& r, std::unique_ptr<TQELCollectionItem>& obj);

}  // namespace kestrane::framework
