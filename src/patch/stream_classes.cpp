// The published properties of every streamed class, in declaration order.
#include <array>

#include "patch/inst_res_items.h"
#include "patch/param_info.h"
#include "patch/res_items.h"

namespace kestrane::patch {
namespace {

template <class C, std::string C::*M>
PropInfo TextProp(std::string_view name) {
    PropInfo p;
    p.name = name;
    p.kind = PropKind::Text;
    p.getText = [](const TResBase& o) -> const std::string& { return static_cast<const C&>(o).*M; };
    p.setText = [](TResBase& o, std::string v) { static_cast<C&>(o).*M = std::move(v); };
    return p;
}

template <class C, std::int32_t C::*M>
PropInfo IntProp(std::string_view name) {
    PropInfo p;
    p.name = name;
    p.kind = PropKind::Integer;
    p.getOrdinal = [](const TResBase& o) { return static_cast<const C&>(o).*M; };
    p.setOrdinal = [](TResBase& o, std::int32_t v) { static_cast<C&>(o).*M = v; };
    return p;
}

template <class C, bool C::*M>
PropInfo BoolProp(std::string_view name) {
    PropInfo p;
    p.name = name;
    p.kind = PropKind::Boolean;
    p.getOrdinal = [](const TResBase& o) { return static_cast<std::int32_t>(static_cast<const C&>(o).*M); };
    p.setOrdinal = [](TResBase& o, std::int32_t v) { static_cast<C&>(o).*M = v != 0; };
    return p;
}

// The reader hands over only ordinals within the enumeration.
template <class C, class E, E C::*M>
PropInfo EnumProp(std::string_view name, const EnumTypeInfo& type) {
    PropInfo p;
    p.name = name;
    p.kind = PropKind::Enumeration;
    p.enumType = &type;
    p.getOrdinal = [](const TResBase& o) { return static_cast<std::int32_t>(static_cast<const C&>(o).*M); };
    p.setOrdinal = [](TResBase& o, std::int32_t v) { static_cast<C&>(o).*M = static_cast<E>(v); };
    return p;
}

PropInfo WithDefault(PropInfo p, std::int32_t value) {
    p.hasDefault = true;
    p.defaultValue = value;
    return p;
}

constexpr std::array<std::string_view, 4> kPatchTypeNames{"ptNone", "ptProgram", "ptInstance", "ptBoth"};
constexpr std::array<std::string_view, 5> kOperateTypeNames{"otNone", "otCopy", "otExecute", "otProgram",
                                                            "otVersion"};
constexpr std::array<std::string_view, 11> kParamNodeTypeNames{
    "pntInitScript", "pntReCst", "pntBill", "pntQuery",  "pntAnalyse", "pntBaseData",
    "pntDeskFlow",   "pntTable", "pntView", "pntScript", "pntOther"};
constexpr std::array<std::string_view, 2> kTableTypeNames{"ttData", "ttStructure"};
constexpr std::array<std::string_view, 3> kDataBaseTypeNames{"dbtMsSql", "dbtOracle", "dbAccess"};
constexpr std::array<std::string_view, 2> kSQLExecTypeNames{"seCheck", "seExc"};

const EnumTypeInfo kPatchType{"TKVPatchType", kPatchTypeNames};
const EnumTypeInfo kOperateType{"TKVOperateType", kOperateTypeNames};
const EnumTypeInfo kParamNodeType{"TKVParamNodeType", kParamNodeTypeNames};
const EnumTypeInfo kTableType{"TKVTableType", kTableTypeNames};
const EnumTypeInfo kDataBaseType{"TKVDataBaseType", kDataBaseTypeNames};
const EnumTypeInfo kSQLExecType{"TKVSQLExecType", kSQLExecTypeNames};

template <class C>
std::unique_ptr<TResBase> Make() {
    return std::make_unique<C>();
}

}  // namespace

// The component base: position 0 the object name (read, never written), position 1 the integer tag.
const TClassInfo& TResBase::StaticClassInfo() {
    static const TClassInfo info = [] {
        PropInfo name;
        name.name = "Name";
        name.kind = PropKind::Text;
        name.stored = false;
        name.getText = [](const TResBase& o) -> const std::string& { return o.ObjectName(); };
        name.setText = [](TResBase& o, std::string v) { o.SetObjectName(std::move(v)); };
        PropInfo tag;
        tag.name = "Tag";
        tag.kind = PropKind::Integer;
        tag.hasDefault = true;
        tag.getOrdinal = [](const TResBase& o) { return o.ComponentTag(); };
        tag.setOrdinal = [](TResBase& o, std::int32_t v) { o.SetComponentTag(v); };
        return TClassInfo("TResBase", nullptr, {name, tag}, nullptr);
    }();
    return info;
}
const TClassInfo& TResBase::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TBaseParamInfo::StaticClassInfo() {
    static const TClassInfo info = [] {
        PropInfo closeNames;
        closeNames.name = "NeedCloseFileNames";
        closeNames.kind = PropKind::Text;
        closeNames.getText = [](const TResBase& o) -> const std::string& {
            return static_cast<const TBaseParamInfo&>(o).NeedCloseFileNames();
        };
        closeNames.setText = [](TResBase& o, std::string v) {
            static_cast<TBaseParamInfo&>(o).SetNeedCloseFileNames(std::move(v));
        };
        return TClassInfo("TBaseParamInfo", &TResBase::StaticClassInfo(),
                          {TextProp<TBaseParamInfo, &TBaseParamInfo::RegInstallPath>("RegInstallPath"),
                           IntProp<TBaseParamInfo, &TBaseParamInfo::NeedFreeDiskMB>("NeedFreeDiskMB"),
                           IntProp<TBaseParamInfo, &TBaseParamInfo::NeedFreeMemMB>("NeedFreeMemMB"),
                           closeNames, BoolProp<TBaseParamInfo, &TBaseParamInfo::NotBackup>("NotBackup")},
                          &Make<TBaseParamInfo>);
    }();
    return info;
}
const TClassInfo& TBaseParamInfo::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TResCollection::StaticClassInfo() {
    static const TClassInfo info(
        "TResCollection", &TResBase::StaticClassInfo(),
        {EnumProp<TResCollection, TKVPatchType, &TResCollection::PatchType>("PatchType", kPatchType),
         BoolProp<TResCollection, &TResCollection::NotCheckVersion>("NotCheckVersion"),
         BoolProp<TResCollection, &TResCollection::NotUpdateVersion>("NotUpdateVersion"),
         TextProp<TResCollection, &TResCollection::Description>("Description")},
        &Make<TResCollection>);
    return info;
}
const TClassInfo& TResCollection::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TResItem::StaticClassInfo() {
    static const TClassInfo info(
        "TResItem", &TResBase::StaticClassInfo(),
        {TextProp<TResItem, &TResItem::Name>("Name"), TextProp<TResItem, &TResItem::RelPath>("RelPath"),
         EnumProp<TResItem, TKVOperateType, &TResItem::OptType>("OptType", kOperateType),
         TextProp<TResItem, &TResItem::Param>("Param"), BoolProp<TResItem, &TResItem::Waiting>("Waiting"),
         IntProp<TResItem, &TResItem::DelayTime>("DelayTime")},
        &Make<TResItem>,
        FileDataAccess{[](const TResBase& o) -> const support::Bytes& {
                           return static_cast<const TResItem&>(o).MemStream;
                       },
                       [](TResBase& o) -> support::Bytes& { return static_cast<TResItem&>(o).MemStream; }});
    return info;
}
const TClassInfo& TResItem::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TNodeItem::StaticClassInfo() {
    static const TClassInfo info(
        "TNodeItem", &TResBase::StaticClassInfo(),
        {TextProp<TNodeItem, &TNodeItem::Tag>("Tag"), TextProp<TNodeItem, &TNodeItem::Caption>("Caption"),
         TextProp<TNodeItem, &TNodeItem::Text>("Text"), TextProp<TNodeItem, &TNodeItem::Reservs>("Reservs"),
         EnumProp<TNodeItem, TKVTableType, &TNodeItem::TableType>("TableType", kTableType),
         TextProp<TNodeItem, &TNodeItem::BeforeSQL>("BeforeSQL"),
         TextProp<TNodeItem, &TNodeItem::AfterSQL>("AfterSQL"),
         EnumProp<TNodeItem, support::TKVDataBaseType, &TNodeItem::SQLType>("SQLType", kDataBaseType),
         EnumProp<TNodeItem, TKVParamNodeType, &TNodeItem::ParamNodeType>("ParamNodeType", kParamNodeType)},
        &Make<TNodeItem>);
    return info;
}
const TClassInfo& TNodeItem::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TNodeScriptItem::StaticClassInfo() {
    static const TClassInfo info(
        "TNodeScriptItem", &TNodeItem::StaticClassInfo(),
        {TextProp<TNodeScriptItem, &TNodeScriptItem::Text2>("Text2"),
         EnumProp<TNodeScriptItem, support::TKVDataBaseType, &TNodeScriptItem::SQLType2>("SQLType2",
                                                                                         kDataBaseType),
         WithDefault(EnumProp<TNodeScriptItem, TKVSQLExecType, &TNodeScriptItem::SQLExecType>("SQLExecType",
                                                                                              kSQLExecType),
                     seExc),
         WithDefault(BoolProp<TNodeScriptItem, &TNodeScriptItem::DropBeforeCreate>("DropBeforeCreate"), 0)},
        &Make<TNodeScriptItem>);
    return info;
}
const TClassInfo& TNodeScriptItem::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TNodeTableItem::StaticClassInfo() {
    static const TClassInfo info(
        "TNodeTableItem", &TNodeItem::StaticClassInfo(),
        {TextProp<TNodeTableItem, &TNodeTableItem::Text2>("Text2"),
         TextProp<TNodeTableItem, &TNodeTableItem::BeforeSQL2>("BeforeSQL2"),
         TextProp<TNodeTableItem, &TNodeTableItem::AfterSQL2>("AfterSQL2"),
         EnumProp<TNodeTableItem, support::TKVDataBaseType, &TNodeTableItem::SQLType2>("SQLType2",
                                                                                       kDataBaseType)},
        &Make<TNodeTableItem>);
    return info;
}
const TClassInfo& TNodeTableItem::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TInstResItem::StaticClassInfo() {
    static const TClassInfo info("TInstResItem", &TResBase::StaticClassInfo(),
                                 {TextProp<TInstResItem, &TInstResItem::Description>("Description")},
                                 &Make<TInstResItem>);
    return info;
}
const TClassInfo& TInstResItem::ClassInfo() const {
    return StaticClassInfo();
}

const TClassInfo& TInstScriptBaseResItem::StaticClassInfo() {
    static const TClassInfo info("TInstScriptBaseResItem", &TInstResItem::StaticClassInfo(), {},
                                 &Make<TInstScriptBaseResItem>);
    return info;
}
const TClassInfo& TInstScriptBaseResItem::ClassInfo() const {
    return StaticClassInfo();
}

#define KESTRANE_INST_ITEM_CLASS(C, Base)                                         \
    const TClassInfo& C::StaticClassInfo() {                                      \
        static const TClassInfo info(#C, &Base::StaticClassInfo(), {}, &Make<C>); \
        return info;                                                              \
    }                                                                             \
    const TClassInfo& C::ClassInfo() const {                                      \
        return StaticClassInfo();                                                 \
    }

KESTRANE_INST_ITEM_CLASS(TInstBillResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstQueryResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstAnalyseResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstBaseDataResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstDeskFlowResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstTableResItem, TInstResItem)
KESTRANE_INST_ITEM_CLASS(TInstInitScriptResItem, TInstScriptBaseResItem)
KESTRANE_INST_ITEM_CLASS(TInstReCstResItem, TInstScriptBaseResItem)
KESTRANE_INST_ITEM_CLASS(TInstScriptResItem, TInstScriptBaseResItem)
KESTRANE_INST_ITEM_CLASS(TInstViewResItem, TInstScriptBaseResItem)
#undef KESTRANE_INST_ITEM_CLASS

const TClassInfo& TInstResCollection::StaticClassInfo() {
    static const TClassInfo info("TInstResCollection", &TResBase::StaticClassInfo(), {},
                                 &Make<TInstResCollection>);
    return info;
}
const TClassInfo& TInstResCollection::ClassInfo() const {
    return StaticClassInfo();
}

}  // namespace kestrane::patch
