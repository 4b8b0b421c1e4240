#include "product/inst_info.h"

namespace kestrane::product {

using framework::TQELRecType;
namespace recfield = framework::recfield;

const TQELRecType& TQELInstInfoType() {
    using R = TQELInstInfo;
    static const TQELRecType type(
        "TQELInstInfo",
        {recfield::Text(&R::InstName), recfield::Text(&R::InstText), recfield::Guid(&R::InstId),
         recfield::Ordinal(&R::InstRef), recfield::Ordinal(&R::InstState), recfield::Raw(&R::Align)});
    return type;
}

const TQELRecType& TQELInstInfoDArrayType() {
    static const TQELRecType type =
        framework::DynArrayType<TQELInstInfo>("TQELInstInfoDArray", TQELInstInfoType());
    return type;
}

void TQELDBInstance::Persist(framework::TQELWriter* writer, framework::TQELReader* reader) {
    if (writer) {
        writer->WriteRecordHeader(kInstDataCheckByte);
        writer->WriteRawText(InstName);
        if (!Remainder.empty()) writer->WriteRaw(Remainder.data(), Remainder.size());
    } else if (reader) {
        reader->ReadRecordHeader(kInstDataCheckByte);
        std::string name = reader->ReadRawText();
        support::Bytes rest(reader->Remaining());
        if (!rest.empty()) reader->ReadRaw(rest.data(), rest.size());
        InstName = std::move(name);
        Remainder = std::move(rest);
    }
}

}  // namespace kestrane::product
