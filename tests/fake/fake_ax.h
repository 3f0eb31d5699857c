// The fake desktop's accessibility trees.
#pragma once

namespace fake {

struct AxState {};

}  // namespace fake
