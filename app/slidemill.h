#ifndef SLIDEMILL_APP_SLIDEMILL_H_
#define SLIDEMILL_APP_SLIDEMILL_H_

namespace slidemill {

// Runs the whole program and answers its exit status.
int RealMain(int argc, char** argv);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_SLIDEMILL_H_
