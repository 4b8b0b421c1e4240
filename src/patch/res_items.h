// Program-file items: the patch type, the version switches and the packed program files of a patch,
// the root of the resource "FILEDATA".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "patch/progress.h"
#include "patch/res_base.h"
#include "patch/upgrade_log.h"
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

    // Takes content and name of an existing file; ".bat" (any case) gives otExecute, else otCopy.
    // A missing file changes nothing; a name that is not valid UTF-8 is refused (throws, naming it).
    void LoadFromFile(const std::string& path);
    // Writes (and starts) the file under installDir. A target folder that cannot be created throws;
    // every later failure gives False with its message in errorText.
    bool InstallItem(const std::string& installDir, std::string& errorText);
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

    // Replaces a same-named item (letter case ignored) by a new last item loaded from the file. A
    // file name that cannot be written into a patch is refused first, changing nothing.
    TResItem& AddFile(const std::string& path);
    TResItem* FindByName(std::string_view name) const;
    TResItem* FindByOptType(TKVOperateType type) const;
    void MoveItem(std::size_t from, std::size_t to);
    // True when every item is otProgram or otVersion (also when there is none).
    bool HasNoUserFiles() const;
    // Installs every item but otVersion in list order: success lines go to `log`, failure lines to
    // `log` and `errors`, each followed by a progress report. False when an item failed; a target
    // folder that cannot be created ends the run with that exception.
    bool InstallAll(const std::string& installDir, const TLogEvent& log, const TLogEvent& errors);
    bool InstallAll(const std::string& installDir, std::vector<std::string>& log,
                    std::vector<std::string>& errors);

    std::size_t ChildCount() const override { return items_.size(); }
    const TResBase& Child(std::size_t i) const override { return Item(i); }

  protected:
    void Inserted(TResBase& object) override;
    void Removing(TResBase& object) override;

  private:
    std::vector<TResItem*> items_;  // owned through TResBase, in install order
};

}  // namespace kestrane::patch
