#pragma once
// How many tests of each kind the default test template holds, for the main window's Testing
// command. Reads the template file layout directly (leading Long 1, name, editable flag, count,
// then the items, whose first Long is the kind: 1 vision, 2 balance).
// TODO(templates): replace by KM_RQTemplate::Load once the template module is in the data library.
#include <QString>
#include <optional>

namespace tarn::app {

struct TemplateTestKinds {
  int balance = 0;
  int vision = 0;
};

// Empty when the file is missing, unreadable or not a template file.
std::optional<TemplateTestKinds> readTemplateTestKinds(const QString& path);

}  // namespace tarn::app
