#include "app/photos.h"

#include <gtest/gtest.h>

namespace slidemill {
namespace {

using Names = std::vector<std::string>;

Names Sorted(std::vector<Photo> photos, std::string_view order) {
  SortPhotos(photos, order);
  Names names;
  for (const Photo& photo : photos) names.push_back(photo.name);
  return names;
}

// Numbers by value whatever their zeros or length, letters without case,
// and only names equal that way by their bytes.
TEST(PhotoOrderTest, NaturalComparesNumbersByValue) {
  EXPECT_EQ(Sorted(std::vector<Photo>{{"x99999999999999999999.jpg", {}},
                                      {"urlaub (2).jpg", {}},
                                      {"x100000000000000000000.jpg", {}},
                                      {"Urlaub (02).jpg", {}},
                                      {"Urlaub.jpg", {}},
                                      {"Urlaub (2).jpg", {}}},
                   "natural"),
            (Names{"Urlaub (02).jpg", "Urlaub (2).jpg", "urlaub (2).jpg", "Urlaub.jpg",
                   "x99999999999999999999.jpg", "x100000000000000000000.jpg"}));
}

// Those taken at one moment, and those without a capture time (last), in
// natural order.
TEST(PhotoOrderTest, TakenByCaptureTime) {
  const CaptureTime noon{2019, 6, 5, 12, 0, 0}, morning{2019, 6, 5, 9, 0, 0};
  EXPECT_EQ(Sorted(std::vector<Photo>{{"a10.jpg", std::nullopt},
                                      {"a9.jpg", noon},
                                      {"a2.jpg", std::nullopt},
                                      {"b.jpg", morning},
                                      {"a10.jpg", noon}},
                   "taken"),
            (Names{"b.jpg", "a9.jpg", "a10.jpg", "a2.jpg", "a10.jpg"}));
}

}  // namespace
}  // namespace slidemill
