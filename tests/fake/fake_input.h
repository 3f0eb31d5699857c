// The fake desktop's synthetic input: events made and posted.
#pragma once

namespace fake {

struct InputState {};

}  // namespace fake
