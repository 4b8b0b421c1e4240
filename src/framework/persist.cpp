#include "framework/persist.h"

#include "framework/texts.h"

namespace kestrane::framework {

support::Bytes SaveObjectToBlob(TQELPersistObject* obj) {
    if (!obj) RaiseParamRequired("SaveObjectToBlob(Obj)");
    TQELMemWriteData sink;
    TQELWriter writer(sink);
    obj->Persist(&writer, nullptr);
    return sink.Take();
}

void LoadObjectFromBlob(const support::Bytes* data, TQELPersistObject* obj) {
    if (!data) RaiseParamRequired("LoadObjectFromBlob(Data)");
    if (!obj) RaiseParamRequired("LoadObjectFromBlob(,Obj)");
    TQELMemReadData source(*data);
    TQELReader reader(source);
    obj->Persist(nullptr, &reader);
}

void SaveOrLoadTarget(TQELPersistObject* target, TQELWriter* writer, TQELReader* reader) {
    if (!target) RaiseParamRequired("SaveOrLoadTarget(Target)");
    target->Persist(writer, reader);
}

void WriteObject(TQELWriter& w, TQELPersistObject* obj) {
    w.WriteBoolean(obj != nullptr);
    if (!obj) return;
    w.WriteClassRef(obj->ClassId(), obj->ClassVersion());
    obj->Persist(&w, nullptr);
}

void ReadObject(TQELReader& r, std::unique_ptr<TQELCollectionItem>& obj) {
    if (!r.ReadBoolean()) {
        obj.reset();
        return;
    }
    std::uint32_t classId = 0;
    std::int32_t classVersion = 0;
    r.ReadClassRef(classId, classVersion);
    if (!obj || obj->ClassId() != classId || obj->ClassVersion() != classVersion) {
        obj.reset();
        const TQELDynClassDict* dict = FindDynClass(classId, classVersion);
        if (!dict) r.RaiseError(errDynClassNotFound, texts::kDynClassNotFound, classId, classVersion);
        obj = dict->Make();
    }
    obj->Persist(nullptr, &r);
}

}  // namespace kestrane::framework
