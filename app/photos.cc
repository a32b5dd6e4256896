#include "app/photos.h"

#include <algorithm>

namespace slidemill {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Below zero, zero or above: `a` before, like or after `b` in natural order.
int NaturalCompare(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Leading zeros do not count; then the longer run is the larger
      // number, and runs of one length compare digit by digit.
      while (i + 1 < a.size() && a[i] == '0' && IsDigit(a[i + 1])) ++i;
      while (j + 1 < b.size() && b[j] == '0' && IsDigit(b[j + 1])) ++j;
      std::size_t end_a = i, end_b = j;
      while (end_a < a.size() && IsDigit(a[end_a])) ++end_a;
      while (end_b < b.size() && IsDigit(b[end_b])) ++end_b;
      if (end_a - i != end_b - j) return end_a - i < end_b - j ? -1 : 1;
      if (int c = a.substr(i, end_a - i).compare(b.substr(j, end_b - j)); c != 0) return c;
      i = end_a, j = end_b;
      continue;
    }
    unsigned char x = static_cast<unsigned char>(Lower(a[i])),
                  y = static_cast<unsigned char>(Lower(b[j]));
    if (x != y) return x < y ? -1 : 1;
    ++i, ++j;
  }
  return (i < a.size()) - (j < b.size());
}

}  // namespace

bool HasPhotoExtension(std::string_view name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension;
  for (char c : name.substr(dot + 1)) extension += Lower(c);
  return extension == "jpg" || extension == "jpeg";
}

bool NaturalLess(std::string_view a, std::string_view b) {
  int order = NaturalCompare(a, b);
  return order != 0 ? order < 0 : a < b;
}

void SortPhotos(std::vector<Photo>& photos, std::string_view order) {
  auto natural = [](const Photo& a, const Photo& b) { return NaturalLess(a.name, b.name); };
  if (order == "natural") {
    std::ranges::sort(photos, natural);
  } else if (order == "taken") {
    std::ranges::sort(photos, [&](const Photo& a, const Photo& b) {
      if (a.taken != b.taken) return a.taken && (!b.taken || *a.taken < *b.taken);
      return natural(a, b);
    });
  } else {
    std::ranges::sort(photos, {}, &Photo::name);
  }
}

}  // namespace slidemill
