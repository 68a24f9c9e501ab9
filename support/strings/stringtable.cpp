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
    // ---- test session (4000-4999) ----
    {4000,
     "Cannot open the requested File.\n\nEither the requested File is not compatible\nwith this program or "
     "it is corrupted."},
    {4001, "An error occurred while opening the file.\nThe file was not opened!"},
    {4002, "Do you want to save the data for the current Subject?"},
    {4003,
     "The file you are saving is read only or is located on a read only folder or disk.\nPlease select a new "
     "name or location!"},
    {4004, "An error occurred while saving the file.\nThe file was not saved!"},
    {4005,
     "The last file TARN™ RQ was working on has been moved,\nrenamed or deleted. The file was not properly "
     "updated\nand closed and might contain errors or erroneous data!"},
    {4006,
     "TARN™ RQ has detected an unsaved Subject File.\nThis was likely caused by the program "
     "ending\nabnormally the last time it was used.\n\nDo you want to recover the data in the File?"},
    {4007, " (TARN™ RQ)"},
    {4013, "The test template cannot be read:\n%1"},
    {4020, "The disk is full."},
    {4021, "The file is larger than the disk or folder allows."},
    {4022, "The folder or disk is read only."},
    {4023, "The folder of the subject's file no longer exists."},
    {4024, "The system reported: %1"},
    {4025, "Nothing recorded was lost: the subject's data stay open in TARN™ RQ and can be saved again."},
    {4026, "The working copy in the temporary folder could not be written."},
    {4100, "KM TARN™ RQ Testing - Subject's File Selection"},
    {4101, "Subject's File:"},
    {4102,
     "Instructions:\n\nPlease select the subject's file from the list and press Open to use that file.\n\nOr "
     "press New to create a new file"},
    {4103, "Ope&n"},
    {4104, "N&ew"},
    {4105, "&Cancel"},
    {4106, "ID"},
    {4107, "Name"},
    {4108, "Gender"},
    {4109, "DoB"},
    {4110, "Height"},
    {4111, "(Hidden)"},
    {4112, "M"},
    {4113, "F"},
    {4114, "Sort by %1"},
    {4200, "KM TARN™ RQ Testing - Subject's Info"},
    {4201, "Subject's Information:"},
    {4202, "&First Name:"},
    {4203, "Middle &Initial:"},
    {4204, "&Last Name:"},
    {4205, "SSN / &ID:"},
    {4206, "&Gender:"},
    {4207, "&Male|&Female"},
    {4208, "&Date of Birth:"},
    {4209, "&Height:"},
    {4210, "Notes:"},
    {4211,
     "Instructions:\n\nPlease fill in the requested information.\n\nYou MUST specify First and Last Names or "
     "SSN/ID.\n\nYou must also enter the Gender, Date of Birth, and Height"},
    {4212, "&Next >>"},
    {4213, "Address:"},
    {4214, "&Street:"},
    {4215, "&City:"},
    {4216, "S&tate\nProvince:"},
    {4217, "&Zip /\nPost Code:"},
    {4218, "&Phone:"},
    {4219, "&EMail:"},
    {4220, "e.g. %1"},
    {4230, "You MUST specify Subject's First and Last Name or SSN/ID!"},
    {4231, "You MUST specify Subject's Gender!"},
    {4232, "You MUST specify Subject's Date of Birth!"},
    {4233, "You MUST enter a valid Subject's Date of Birth!"},
    {4234, "You MUST specify the Subject's correct Height!"},
    {4235,
     "If you Cancel, any data you acquired or changed will be lost!\n\nAre you sure you want to Cancel?"},
    {4300, "KM TARN™ RQ Testing - Test Template Selection"},
    {4301, "Test Template:"},
    {4302,
     "Instructions:\n\nPlease select the Test Template from the list and press Next to continue the Testing "
     "Session using the selected Template.\n\nOr press Cancel to end the testing."},
    {4303, "<< &Back"},
    {4304, "&Next >>"},
    {4305, "#"},
    {4306, "Name"},
    {4307, "Vision Tests"},
    {4308, "Balance Tests"},
    {4309, "%1 (cannot be read)"},
    {4400, "KM TARN™ RQ Testing - Test Selection"},
    {4401, "Tests:"},
    {4402,
     "Instructions:\n\nPlease select the desired test from the list.\nWhen the test is selected, press the "
     "'Test' button to start the test.\n\nNote: The test can be selected only if its status allows it.\n\nTo "
     "rename a test, right click on its name."},
    {4403, "&Next/Report"},
    {4404, "&Test"},
    {4405, "#"},
    {4406, "Genre"},
    {4407, "Type"},
    {4408, "Name"},
    {4409, "Status"},
    {4410, "Balance"},
    {4411, "Vision"},
    {4412, "Foam, "},
    {4413, "No Foam, "},
    {4414, "Eyes Closed"},
    {4415, "Eyes Open"},
    {4416, "Normal"},
    {4417, "Hi-Contrast"},
    {4418, "Done"},
    {4419, "Zero Done"},
    {4420, "To Be Done"},
    {4421, "Previous Not Done"},
    {4422, " - "},
    {4423, "No Platform"},
    {4424, "Sorry, Vision Tests are not yet implemented, but are coming soon!"},
    {4425,
     "The test has already been done!\nIf you proceed all the test data will be deleted.\n\nDo you want to "
     "proceed?"},
    {4500, "KM TARN™ RQ Testing - Session Results"},
    {4501, "Results of this Session:"},
    {4502,
     "Instructions:\n\nThe tests of this session are listed with their stability score and class.\n\nPress "
     "Next to save the results in the subject's file.\nPress Back to return to the test list.\nPress OK to "
     "end the session now: you will be asked whether to save."},
    {4503, "&OK"},
    {4504, "<< &Back"},
    {4505, "&Next >>"},
    {4506, "&Cancel"},
    {4507, "#"},
    {4508, "Test"},
    {4509, "Type"},
    {4510, "Stability Score"},
    {4511, "Stability Class"},
    {4512, "Status"},
    {4513, "Healthy Balance"},
    {4514, "Mildly Reduced"},
    {4515, "Moderately Reduced"},
    {4516, "Severely Reduced"},
    {4517, "Profoundly Reduced"},
    {4518, "Completed"},
    {4519, "Unable to Complete"},
    {4520, "Not Done"},
    {4521, "Interrupted"},
    {4522, "%1 %"},
    {4523, "N/A"},
    {4524, "Subject: %1"},
    {4525, "Visit %1, %2"},
    {4526, "Height %1, weight measured %2"},
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
