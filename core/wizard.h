#pragma once
// The wizard button code a step window leaves in the main window's DialogExitButton.

namespace tarn {
enum WizardButton : int { kWizNone = -99, kWizBack = -1, kWizCancel = 0, kWizNext = 1, kWizOK = 2 };
}  // namespace tarn
