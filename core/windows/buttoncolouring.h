#pragma once
// Focus colouring of command buttons, shared by every dialog: the button that has the focus takes
// "SelectedCmdColorON", the others "SelectedCmdColorOFF"; with "MouseMove" set the pointer follows
// the focus onto the button.
#include <QColor>
#include <QObject>
#include <QPalette>
#include <QtGlobal>

class QAbstractButton;
class QWidget;

namespace tarn {

// A stored colour: 0x00BBGGRR, or 0x800000nn for system colour nn (0x8000000F = button face).
QColor colourFromStored(quint32 stored, const QPalette& palette);

class CmdButtonColouring : public QObject {
  Q_OBJECT
 public:
  // Reads the settings and colours every push button below the window (unfocused colour), and keeps
  // doing so on focus changes. Calling it again re-reads the settings (after the options changed).
  static CmdButtonColouring* install(QWidget* window);
  void reload();  // re-reads "MouseMove" and the two colours, re-colours
  void colour(QAbstractButton* button, bool focused) const;

  quint32 colourOn() const { return on_; }
  quint32 colourOff() const { return off_; }
  bool mouseMove() const { return mouseMove_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit CmdButtonColouring(QWidget* window);
  void attach();
  QWidget* window_;
  quint32 on_ = 0x8000000F;
  quint32 off_ = 0x8000000F;
  bool mouseMove_ = false;
};

// Moves the pointer onto a control: its horizontal centre at three quarters of its height.
void moveToControl(QWidget* control);

}  // namespace tarn
