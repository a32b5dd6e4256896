// A directory's photos as an encoder is handed them: which names count,
// and the orders of -photo-order.
#ifndef SLIDEMILL_APP_PHOTOS_H_
#define SLIDEMILL_APP_PHOTOS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileinfo/exif.h"

namespace slidemill {

struct Photo {
  std::string name;
  std::optional<CaptureTime> taken;  // when read, and the photo holds one
};

// The values of -photo-order, the default first: byte order of the names,
// natural order, capture time.
inline constexpr std::string_view kPhotoOrders[] = {"name", "natural", "taken"};

// A photo's name ends in ".jpg" or ".jpeg", in any letter case.
bool HasPhotoExtension(std::string_view name);

// The system's wildcard that finds them, and some other names.
inline constexpr std::string_view kPhotoWildcard = "*.jp*g";

// Runs of digits compare by their value, other bytes without letter case,
// so "Trip (2)" comes before "Trip (10)"; names equal that way go by their
// bytes.
bool NaturalLess(std::string_view a, std::string_view b);

// In the order of -photo-order: "taken" is by capture time, photos taken
// at one moment and those without a capture time (last) in natural order.
void SortPhotos(std::vector<Photo>& photos, std::string_view order);

}  // namespace slidemill

#endif  // SLIDEMILL_APP_PHOTOS_H_
