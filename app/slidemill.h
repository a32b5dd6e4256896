// The main procedure: start-up, the report flags, the directory loop and the
// end-of-run summary.
#ifndef SLIDEMILL_APP_SLIDEMILL_H_
#define SLIDEMILL_APP_SLIDEMILL_H_

#include "platform/platform.h"

namespace slidemill {

// Runs the whole program on `platform` and answers its exit status.
int RealMain(Platform& platform, int argc, char** argv);

// The same on the running system.
int RealMain(int argc, char** argv);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_SLIDEMILL_H_
