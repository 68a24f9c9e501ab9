#pragma once
// The template item dialog's values as the operator typed them, with its checks and the copy into
// the item, so that both are tested without the dialog.
#include <QString>

#include "data/templates/template.h"

namespace tarn::options {

enum class ItemField {
  None,
  Name,
  Surface,
  Eyes,
  Frequency,
  PreTest,
  Duration,
  Eye,
  Interval,
  Distance,
  TestsPerSize,
  CorrectAnswers
};

struct TestItemForm {
  QString name;
  bool vision = false;
  // Balance item.
  int surface = 0;  // 1 plate, 2 foam; 0 when none is chosen
  int eyes = 0;     // 1 both open, 2 both closed
  bool beepBegin = false;
  bool beepEnd = false;
  QString frequency;  // Hz
  QString preTest;    // s
  QString duration;   // s
  // Vision item.
  int eye = 0;       // 1 right, 2 left, 3 both
  QString interval;  // s
  QString distance;  // in the station's length unit
  QString testsPerSize;
  QString correctAnswers;
  bool fullScreen = false;
  bool highContrast = false;
};

// Numbers as the dialog shows them: up to three decimals, no trailing zeros.
QString compactNumber(double value);

TestItemForm formFromItem(const KM_RQTemplateItem& item, int lengthUnit);

struct ItemCheck {
  bool ok = true;
  QString message;
  ItemField field = ItemField::None;
};
// The checks in their order; the first failure gives its message and the field to return to.
// `minimumDistance` is in metres (0: unknown, any distance above 0 passes).
ItemCheck checkTestItem(const TestItemForm& form, int lengthUnit, double minimumDistance);
// Copies the values into the item (call after a passed check); the kind stays.
void updateTestItem(const TestItemForm& form, int lengthUnit, KM_RQTemplateItem& item);

// "Test Distance (Min. 1.88 m):"
QString distanceLabel(double minimumDistance, int lengthUnit);

}  // namespace tarn::options
