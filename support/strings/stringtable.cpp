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

    // ---- start-up, event log and settings store: reliability and privacy ----
    {1900,
     "The event log of TARN™ RQ could not be written (%1).\nLogging has stopped until TARN™ RQ is "
     "started again.\n\nPlease make room on the disk."},
    {1901, "\n\nThe log below is what will be sent (it is also attached):\n\n"},
    {1902, "(Only the last %1 KB of the log are shown here; the attached log is complete.)\n"},
    {1903,
     "Kamrith Labs TARN™ RQ cannot start\nbecause its common data folder cannot be used:\n%1\n(%2)\n\n"
     "This copy of TARN™ RQ will now close!"},
    {1904,
     "The settings of TARN™ RQ were damaged.\nThey have been restored from the copy kept on %1.\n\n"
     "Settings changed after that must be made again."},
    {1905,
     "The settings of TARN™ RQ were damaged and no good copy of them was found.\nThe damaged settings "
     "were kept as\n%1"},
    {1906, "The settings of TARN™ RQ cannot be saved in\n%1\n(%2)\n\nThis copy of TARN™ RQ will now close!"},

    // ---- subject data: reliability ----
    {2900,
     "The list of subject files could not be saved in\n%1\n\nIt will be built again the next time. "
     "Please make room on the disk or check the folder."},
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
