#include "app/slidemill.h"

namespace slidemill {

int RealMain(int, char**) { return 0; }

}  // namespace slidemill
