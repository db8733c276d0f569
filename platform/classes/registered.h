// The class registry walked whole: for code that visits every class that
// streams can make by name.
#pragma once
#include <vector>

#include "platform/classes/classes.h"

namespace cls {

// Every registered class, in registration order.
std::vector<TClass> RegisteredClasses();

}  // namespace cls
