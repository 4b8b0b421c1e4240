#include "app/page_registry.h"

#include <algorithm>

#include "support/text.h"

namespace kestrane::app {

namespace {
std::vector<const TPageClass*>& Classes() {
    static std::vector<const TPageClass*> classes;
    return classes;
}
}  // namespace

void RegisterPage(const TPageClass& pageClass, bool add) {
    auto& classes = Classes();
    if (add) {
        classes.push_back(&pageClass);
        return;
    }
    auto it = std::find(classes.begin(), classes.end(), &pageClass);
    if (it != classes.end()) classes.erase(it);
}

const TPageClass* FindPageClass(std::string_view name) {
    for (const TPageClass* c : Classes())
        if (support::SameText(c->ClassName, name)) return c;
    return nullptr;
}

const std::vector<const TPageClass*>& PageClasses() {
    return Classes();
}

}  // namespace kestrane::app
