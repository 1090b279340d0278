#pragma once

#include "platform/UserDefaults.h"

#include <ostream>
#include <string>
#include <vector>

namespace knokle {

// "knokle defaults read [KEY]", "knokle defaults write KEY -bool|-int|-float|-string VALUE",
// "knokle defaults delete KEY". args are the words after "defaults". Returns the process's exit status:
// 0 on success, 1 with a message on err otherwise.
int runDefaultsCommand(const std::vector<std::string>& args, UserDefaults& defaults, std::ostream& out,
                       std::ostream& err);

// A stored value as the command prints it: true, 17, 1.5, or the bare text of a string.
std::string describeStoredValue(const StoredValue& value);

} // namespace knokle
