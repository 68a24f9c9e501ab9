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

    // ---- start-up, main window (core, app) ----
    {1000, "KM TARN™ RQ"},
    {1001, "Testi&ng"},
    {1002, "&File Management"},
    {1003, "&Options"},
    {1004, "&Reports Reprint"},
    {1005, "E&xit"},
    {1010,
     "This copy of Kamrith Labs TARN™ RQ cannot start\nbecause another copy is already running on this "
     "computer.\nThis copy of TARN™ RQ will now close!"},
    {1011,
     "The last time TARN™ RQ ran, it terminated abnormally.\nA log detailing the problem has been "
     "generated.\nWould you like to send the log to Kamrith Labs Technical Support?"},
    {1012,
     "Tampering with the program access control passwords was detected!\n\nFor more information contact "
     "Kamrith Labs.\n\nThe program will now close!"},
    {1013, "NO FORCE PLATFORM CONNECTED"},
    {1014,
     "Measurement Units have not been selected - Please select the Measurement units you would like to use!"},
    {1015,
     "The Display Monitor configuration has changed - Please make sure the correct Display dimensions are "
     "set!"},
    {1016,
     "For TARN™ RQ to run properly the Subject's display must be set\nto 65k or more colors (16 bit color or "
     "higher).\n\nPlease set the number of colors to high color (16 bit or 65k colors)\nor better and then "
     "restart TARN™ RQ.\n\nThis copy of TARN™ RQ will now close!"},
    {1017,
     "For TARN™ RQ to run properly the display must be set\nto 65K or more colors (16 bit color or "
     "higher).\n\nPlease set the number of colors to high color (16 bit or 65k colors)\nor better and then "
     "restart TARN™ RQ.\n\nThis copy of TARN™ RQ will now close!"},
    {1018, "Your computer clock indicates it is"},
    {1019,
     "Please verify that your computer clock\ndisplays the correct date and time.\n\nIt is important that "
     "the "
     "Date and Time be properly set\nfor the program to function correctly."},
    {1020, "FORCE PLATFORM READY – %1"},
    {1021, " (+%1 more)"},
    {1022, "Invalid Password!\nThe program will be locked for 1 minute!"},
    {1023, "Invalid Password!"},
    {1030, "Testing not enabled because no tests are enabled"},
    {1031, "Testing not enabled because no Test Template has been defined"},
    {1032, "Testing not enabled because no enabled tests are defined in the test template"},
    {1033, "Testing not enabled because the Test Data Folder is Read Only"},
    {1040, "KM TARN™ RQ - Updating File List"},
    {1050, "Removing Deleted Files ..."},
    {1051, "Adding New Files ..."},
    {1052, "Updating List Entries ..."},
    {1060, "Testing"},
    {1061, "File Management"},
    {1062, "Reports Reprint"},
    {1063, "The Options window"},
    {1064,
     "An unsaved subject file was found:\n%1\n\nRecovering it is not available in this version of TARN™ RQ."},
    {1065, "%1 is not available in this version of TARN™ RQ."},
    {1070, "KM TARN™ RQ Error Log"},
    {1071,
     "The TARN™ RQ Error Log is attached.\n\nBefore sending, please add to this message\n"
     " - your contact information\n"
     " - your force platform serial number (located on the bottom of the platform)\n\n"
     "Thank You. Your help is sincerely appreciated\nThe Kamrith Labs Support Team"},
    {1072, "Version %1"},
    {1073, "Kamrith Labs, LLC."},
    {1074, "For %1"},
    {1075, "For %1 (Linux)"},
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
