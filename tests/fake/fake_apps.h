// The fake desktop's applications, windows, display, permissions and launcher.
#pragma once

namespace fake {

struct AppsState {};

}  // namespace fake
