// The patch version descriptor: which program and account-set versions a patch brings and to which
// installed versions it applies.
#pragma once

namespace kestrane::patch {

// What a version test looks at: the installed program ("Update.upf"), an account set's ZTVersion, or
// both in that order.
enum TVersionCheckKind : int { vkProgram = 1, vkAccountSet = 2, vkBoth = 3 };

}  // namespace kestrane::patch
