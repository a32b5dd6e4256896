// The program's entry point; everything it does happens in RealMain.
#include "app/slidemill.h"

int main(int argc, char** argv) { return slidemill::RealMain(argc, argv); }
