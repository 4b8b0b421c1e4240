// Program-file items: the patch type, the version switches and the packed program files of a patch,
// the root of the resource "FILEDATA".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "patch/progress.h"
#include "patch/res_base.h"
#include "support/variant.h"

namespace kestrane::patch {

enum TKVPatchType : std::uint8_t { ptNone = 0, ptProgram = 1, ptInstance = 2, ptBoth = 3 };

enum TKVOperateType : std::uint8_t { otNone = 0, otCopy = 1, otExecute = 2, otProgram = 3, otVersion = 4 };

// One program file with the rule for installing it.
class TResItem : public TResBase {
  public:
    TResItem() = default;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    std::string Name;  // file name without folder, unique within the collection (letter case ignored)
    std::string RelPath;
    TKVOperateType OptType = otNone;
    std::string Param;
    bool Waiting = false;
    std::int32_t DelayTime = 0;  // milliseconds
    support::Bytes MemStream;    // the file's content; streamed as "FILEDATA"
};

class TResCollection : public TResBase {
  public:
    TResCollection() = default;
    ~TResCollection() override;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override;

    TKVPatchType PatchType = ptNone;
    bool NotCheckVersion = false;
    bool NotUpdateVersion = false;
    std::string Description;
    TProgressEvent OnProgress;

    std::size_t Count() const { return items_.size(); }
    TResItem& Item(std::size_t i) const;
    // Clears Description and destroys all items.
    void ClearItems();

    std::size_t ChildCount() const override { return items_.size(); }
    const TResBase& Child(std::size_t i) const override { return Item(i); }

  protected:
    void Inserted(TResBase& object) override;
    void Removing(TResBase& object) override;

  private:
    std::vector<TResItem*> items_;  // owned through TResBase, in install order
};

}  // namespace kestrane::patch
