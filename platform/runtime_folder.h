#pragma once
#include <QString>

namespace orva {

// A per-user folder for locks and local endpoints: $XDG_RUNTIME_DIR, or a
// private folder in the temporary folder when it is not set.
QString RuntimeFolder();

}  // namespace orva
