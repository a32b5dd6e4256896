// mencoder: the photos through a list read by its "mf://" input, each one
// frame or shown for -photo-seconds, the title file given as subtitles.
#ifndef SLIDEMILL_APP_MENCODER_ENCODER_H_
#define SLIDEMILL_APP_MENCODER_ENCODER_H_

#include "app/encoder.h"

namespace slidemill {

const Encoder& Mencoder();

}  // namespace slidemill

#endif  // SLIDEMILL_APP_MENCODER_ENCODER_H_
