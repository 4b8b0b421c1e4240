// Account-set items: the definitions a patch moves into account sets, the root of "INSTDATA". One item
// per kind of definition, each listing its chosen objects as nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "patch/progress.h"
#include "patch/res_base.h"
#include "support/kv_types.h"

namespace kestrane::patch {

enum TKVParamNodeType : std::uint8_t {
    pntInitScript = 0,
    pntReCst = 1,
    pntBill = 2,
    pntQuery = 3,
    pntAnalyse = 4,
    pntBaseData = 5,
    pntDeskFlow = 6,
    pntTable = 7,
    pntView = 8,
    pntScript = 9,
    pntOther = 10
};

enum TKVTableType : std::uint8_t { ttData = 0, ttStructure = 1 };

enum TKVSQLExecType : std::uint8_t { seCheck = 0, seExc = 1 };

// One chosen object of an account-set item.
class TNodeItem : public TResBase {
  public:
    TNodeItem() = default;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    std::string Tag;  // the object's key; takes the stream position of the component's integer tag
    std::string Caption;
    std::string Text;
    std::string Reservs;
    TKVTableType TableType = ttData;
    std::string BeforeSQL;
    std::string AfterSQL;
    support::TKVDataBaseType SQLType = support::dbtMsSql;
    TKVParamNodeType ParamNodeType = pntInitScript;
};

class TNodeScriptItem : public TNodeItem {
  public:
    TNodeScriptItem() = default;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    std::string Text2;
    support::TKVDataBaseType SQLType2 = support::dbtMsSql;
    TKVSQLExecType SQLExecType = seExc;
    bool DropBeforeCreate = false;
};

class TNodeTableItem : public TNodeItem {
  public:
    TNodeTableItem() = default;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    std::string Text2;
    std::string BeforeSQL2;
    std::string AfterSQL2;
    support::TKVDataBaseType SQLType2 = support::dbtMsSql;
};

class TInstResItem : public TResBase {
  public:
    TInstResItem();  // kind pntOther, no table
    ~TInstResItem() override;

    // The SQL condition that selects the kind's rows in TableName; empty here.
    virtual std::string BuildFilter() const;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    TKVParamNodeType ParamNodeType() const { return paramNodeType_; }
    const std::string& TableName() const { return tableName_; }
    const std::string& TableCaption() const { return tableCaption_; }

    std::string Description;

    const std::vector<TNodeItem*>& NodeList() const { return nodes_; }
    std::size_t NodeCount() const { return nodes_.size(); }
    std::size_t ItemsCount() const { return nodes_.size(); }
    TNodeItem& Node(std::size_t i) const;
    bool IsEmpty() const { return NodeCount() < 1; }
    // Clears Description and destroys all nodes.
    void ClearNodes();
    // Takes the node out of the list; it stays owned by the item.
    void RemoveNode(TNodeItem& node);

    std::size_t ChildCount() const override { return nodes_.size(); }
    const TResBase& Child(std::size_t i) const override { return Node(i); }

  protected:
    TInstResItem(TKVParamNodeType type, std::string tableName, std::string tableCaption);
    void Inserted(TResBase& object) override;
    void Removing(TResBase& object) override;

  private:
    TKVParamNodeType paramNodeType_;
    std::string tableName_;
    std::string tableCaption_;
    std::vector<TNodeItem*> nodes_;
};

class TInstBillResItem : public TInstResItem {
  public:
    TInstBillResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    // The bill formats, their child and model formats; " and BillType in (...) " of the numbering
    // rules; the option rows " and StdCode in ('GD_BillCfgMsg<tag>',...) ". Empty without nodes.
    std::string BuildFilter() const override;
    std::string BillTypeFilter() const;
    std::string BillOptionFilter() const;
};

class TInstQueryResItem : public TInstResItem {
  public:
    TInstQueryResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstAnalyseResItem : public TInstResItem {
  public:
    TInstAnalyseResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstBaseDataResItem : public TInstResItem {
  public:
    TInstBaseDataResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    // " and CategoryID in (...) " and " and TableID in (...) " over the tags; empty without nodes.
    std::string BuildFilter() const override;
    std::string CodeSetFilter() const;
};

class TInstDeskFlowResItem : public TInstResItem {
  public:
    TInstDeskFlowResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstTableResItem : public TInstResItem {
  public:
    TInstTableResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

// Common base of the script-carrying kinds; not registered for the stream reader.
class TInstScriptBaseResItem : public TInstResItem {
  public:
    TInstScriptBaseResItem() = default;
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

  protected:
    using TInstResItem::TInstResItem;
};

class TInstInitScriptResItem : public TInstScriptBaseResItem {
  public:
    TInstInitScriptResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstReCstResItem : public TInstScriptBaseResItem {
  public:
    TInstReCstResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    // The element rows of the patch: " and SvcID <> -268304361 " and the first node's condition
    // written for `kind` (Text for SQLType, Text2 for SQLType2), if any.
    std::string ReCstFilter(support::TKVDataBaseType kind) const;
};

class TInstScriptResItem : public TInstScriptBaseResItem {
  public:
    TInstScriptResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstViewResItem : public TInstScriptBaseResItem {
  public:
    TInstViewResItem();
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;
};

class TInstResCollection : public TResBase {
  public:
    // Creates the ten empty items, one per kind, in the order of both runs.
    TInstResCollection();
    ~TInstResCollection() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    std::size_t Count() const { return items_.size(); }
    TInstResItem& Item(std::size_t i) const;
    // The last item of that kind, or nullptr.
    TInstResItem* FindByNodeType(TKVParamNodeType type) const;
    // Destroys all items, the ten default ones included.
    void ClearItems();
    // Empties every item.
    void ClearNodes();
    bool AllEmpty() const;

    std::size_t ChildCount() const override { return items_.size(); }
    const TResBase& Child(std::size_t i) const override { return Item(i); }

  protected:
    void Inserted(TResBase& object) override;
    void Removing(TResBase& object) override;

  private:
    std::vector<TInstResItem*> items_;
};

}  // namespace kestrane::patch
