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

    // ---- file manager, import, export, data export (files) ----
    {5000, "KM TARN™ RQ File Manager"},
    {5001, "KM TARN™ RQ - File Manager Columns"},
    {5002,
     "Instructions:\n\nPlease select the desired files and then the action you wish to perform.\n\nTo sort "
     "the table by a desired item, click on the corresponding column header.\n\nTo choose the columns to "
     "display, right click on any column header."},
    {5003, "&Import"},
    {5004, "&Export"},
    {5005, "E&Mail"},
    {5006, "&Back Up"},
    {5007, "Export &Data"},
    {5008, "Open in S&G"},
    {5009, "D&one"},
    {5010, "&Available Columns"},
    {5011, "&Selected Columns"},
    {5012, "&>>"},
    {5013, "&<<"},
    {5014, "&Up"},
    {5015, "&Down"},
    {5016, "&OK"},
    {5017, "&Cancel"},
    {5018, "No column is selected!\n\nYou MUST select at least one column to display!"},
    {5020,
     "Files: Total=%1, RQ=%2, Reduced Balance=%3, Reduced Vision=%4 - Total RQ Tests: Balance=%5, Vision=%6"},
    {5030, "KM TARN™ RQ - File Import"},
    {5031, "KM TARN™ RQ - File Export"},
    {5034, "KM TARN™ RQ - Data Export"},
    {5035, "All Files (*.*)|*.*|TARN™ RQ Data File (*.kpf)|*.kpf"},
    {5036, "All Files (*.*)|*.*|TARN™ RQ Data Export File (*.csv)|*.csv"},
    {5037, "Select the folder TARN™ RQ will use to back-up the files"},
    {5040, "The File\n\n%1\n\nis NOT compatible with KM TARN™ RQ!"},
    {5041,
     "The Location you selected to export the file to is Read-Only!\nPlease select a different location!"},
    {5042, "A file with the same name already exists!\nAre you sure you want to overwrite it?"},
    {5043, "The Location you selected for the Back-Up is Read-Only!\nPlease select a different location!"},
    {5044,
     "The Location you selected for the Back-Up\nalready contains files with the same name\nas the ones you "
     "are backing-up.\nDo you want to replace the existing files?"},
    {5045, "KM TARN™ RQ Subject's File"},
    {5046, "The KM TARN RQ Subject's File is attached."},
    {5047, "KM TARN™ RQ Subject's Files"},
    {5048, "The KM TARN RQ Subject's Files are attached."},
    {5049, "KM TARN™ RQ could not start or connect to STEADLOG!"},
    {5050, "The File\n\n%1\n\ncould not be opened in STEADLOG!"},
    {5051,
     "The Location you selected for the exported data file is Read-Only!\nPlease select a different "
     "location!"},
    {5052, "A file with the same name already exists!\nDo you want to append the data to it?"},
    {5060, "The File\n\n%1\n\ncould not be moved to\n%2\n\nThe file was left where it was.\n(%3)"},
    {5061, "The File\n\n%1\n\ncould not be copied to\n%2\n\n(%3)"},
    {5062,
     "No file is selected!\n\nPlease select the desired files first and then the action you wish to "
     "perform."},
    {5063, "KM TARN™ RQ could not start the e-mail program!\nThe files were not sent."},
    {5064, "The exported data could not be written to\n%1\n\n(%2)"},
    {5065, "The File\n\n%1\n\nis already in the location you selected!"},
    {5066, "The File\n\n%1\n\nis already in the data folder!"},
    {5067, "The column choice could not be saved to\n%1\n\n(%2)"},
    {5068, "The File\n\n%1\n\nwas copied to\n%2\nbut could not be removed from where it was.\n(%3)"},
    {5070, "Healthy Balance"},
    {5071, "Mildly Red."},
    {5072, "Moderately Red."},
    {5073, "Severely Red."},
    {5074, "Profoundly Red."},
    {5075, "Underweight"},
    {5076, "Healthy weight"},
    {5077, "At risk of overweight"},
    {5078, "Overweight"},
    {5080, "Underweight"},
    {5081, "Normal"},
    {5082, "Overweight"},
    {5083, "Obese"},
    {5084, "M"},
    {5085, "F"},
    {5086, "20/%1"},
    {5087, "%1/10  "},
    {5088, "%1 Log(MAR)"},

    // ---- file manager column captions: 8100 + column (files) ----
    {8101, "Subject's ID"},
    {8102, "Subject's Name"},
    {8103, "Gender"},
    {8104, "DoB"},
    {8105, "Height"},
    {8106, "Created"},
    {8107, "Modified"},
    {8108, "Last Test"},
    {8109, "Visits"},
    {8110, "Sessions"},
    {8111, "RQ Visits"},
    {8112, "RQ Sessions"},
    {8113, "Vision Tests"},
    {8114, "First Binoc Vis Date"},
    {8115, "First Binoc Vis Acuity"},
    {8116, "Worst Binoc Vis Date"},
    {8117, "Worst Binoc Vis Acuity"},
    {8118, "Best Binoc Vis Date"},
    {8119, "Best Binoc Vis Acuity"},
    {8120, "Last Binoc Vis Date"},
    {8121, "Last Binoc Vis Acuity"},
    {8122, "First Left Vis Date"},
    {8123, "First Left Vis Acuity"},
    {8124, "Worst Left Vis Date"},
    {8125, "Worst Left Vis Acuity"},
    {8126, "Best Left Vis Date"},
    {8127, "Best Left Vis Acuity"},
    {8128, "Last Left Vis Date"},
    {8129, "Last Left Vis Acuity"},
    {8130, "First Right Vis Date"},
    {8131, "First Right Vis Acuity"},
    {8132, "Worst Right Vis Date"},
    {8133, "Worst Right Vis Acuity"},
    {8134, "Best Right Vis Date"},
    {8135, "Best Right Vis Acuity"},
    {8136, "Last Right Vis Date"},
    {8137, "Last Right Vis Acuity"},
    {8138, "Balance Tests"},
    {8139, "Worst Stability"},
    {8140, "Worst Class"},
    {8141, "First NSEO"},
    {8142, "First NSEO Stability"},
    {8143, "First NSEO Class"},
    {8144, "Worst NSEO"},
    {8145, "Worst NSEO Stability"},
    {8146, "Worst NSEO Class"},
    {8147, "Best NSEO"},
    {8148, "Best NSEO Stability"},
    {8149, "Best NSEO Class"},
    {8150, "Last NSEO"},
    {8151, "Last NSEO Stability"},
    {8152, "Last NSEO Class"},
    {8153, "First NSEC"},
    {8154, "First NSEC Stability"},
    {8155, "First NSEC Class"},
    {8156, "Worst NSEC"},
    {8157, "Worst NSEC Stability"},
    {8158, "Worst NSEC Class"},
    {8159, "Best NSEC"},
    {8160, "Best NSEC Stability"},
    {8161, "Best NSEC Class"},
    {8162, "Last NSEC"},
    {8163, "Last NSEC Stability"},
    {8164, "Last NSEC Class"},
    {8165, "First PSEO"},
    {8166, "First PSEO Stability"},
    {8167, "First PSEO Class"},
    {8168, "Worst PSEO"},
    {8169, "Worst PSEO Stability"},
    {8170, "Worst PSEO Class"},
    {8171, "Best PSEO"},
    {8172, "Best PSEO Stability"},
    {8173, "Best PSEO Class"},
    {8174, "Last PSEO"},
    {8175, "Last PSEO Stability"},
    {8176, "Last PSEO Class"},
    {8177, "First PSEC"},
    {8178, "First PSEC Stability"},
    {8179, "First PSEC Class"},
    {8180, "Worst PSEC"},
    {8181, "Worst PSEC Stability"},
    {8182, "Worst PSEC Class"},
    {8183, "Best PSEC"},
    {8184, "Best PSEC Stability"},
    {8185, "Best PSEC Class"},
    {8186, "Last PSEC"},
    {8187, "Last PSEC Stability"},
    {8188, "Last PSEC Class"},
    {8189, "First BMI"},
    {8190, "First BMI Value"},
    {8191, "First BMI Class"},
    {8192, "Lowest BMI"},
    {8193, "Lowest BMI Value"},
    {8194, "Lowest BMI Class"},
    {8195, "Highest BMI"},
    {8196, "Highest BMI Value"},
    {8197, "Highest BMI Class"},
    {8198, "Last BMI"},
    {8199, "Last BMI Value"},
    {8200, "Last BMI Class"},
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
