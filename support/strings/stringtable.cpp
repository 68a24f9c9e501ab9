#include "support/strings/strings.h"

#include <algorithm>
#include <iterator>

namespace tarn {
namespace {

struct Entry {
  int id;
  const char* text;  // UTF-8
};

// Ascending by number; one section per range of strings.h.
constexpr Entry kTable[] = {
    // ---- shared captions ----
    {100, "Kamrith Labs TARN™ RQ"},
    // ---- subject data ----
    {2701,
     "The data folder \"%1\" cannot be found, so the list of subject files was not brought up to "
     "date.\nChoose an existing data folder in the options."},
    // ---- platform: recordings ----
    {3701, "Cannot open the recording \"%1\": %2"},
    {3702, "The recording \"%1\" cannot be read: %2"},
    {3703, "The recording \"%1\" is empty."},
    {3704, "The recording \"%1\" has no header row (for example Fz,M1,M2)."},
    {3705, "The recording \"%1\" has the columns \"%2\"; expected %3."},
    {3706, "The recording \"%1\", line %2, has %3 values instead of %4."},
    {3707, "The recording \"%1\", line %2, column %3 (%4): \"%5\" is not a number."},
    {3708, "The recording \"%1\", line %2, column %3 (%4): %5 is more than a force platform can report."},
    {3709, "The recording \"%1\" holds no samples."},
    {3710, "Fz,M1,M2 or Fx,Fy,Fz,Mx,My,Mz"},
};

constexpr bool ascending() {
  for (size_t i = 1; i < std::size(kTable); ++i)
    if (kTable[i - 1].id >= kTable[i].id) return false;
  return true;
}
static_assert(ascending(), "string numbers must be unique and ascending");

const Entry* find(int id) {
  const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                   [](const Entry& e, int key) { return e.id < key; });
  return it != std::end(kTable) && it->id == id ? it : nullptr;
}

}  // namespace

QString Str(int id) {
  const Entry* e = find(id);
  return e ? QString::fromUtf8(e->text) : QStringLiteral("#%1").arg(id);
}

bool StrExists(int id) { return find(id) != nullptr; }

}  // namespace tarn
