#pragma once
// The subject's screen: a frameless window on the chosen monitor that mirrors the test window's
// title, instructions, time, CoP display and buttons, kept in step by Display_SyncShape (layout)
// and Display_SyncContent (texts and trace). The subject reads it standing 1.5-2 m away, so the
// parts are not a scaled copy of the operator's window: the display takes the screen's height,
// with a large marker and a thick trace, and the texts beside it are sized from the screen's
// height. Between tests the subject-forms idle screen shows.
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "balance/windows/kmxcopdisplay.h"

class QScreen;

namespace tarn {

class KMTARNRQSF;

class SubjectMirror : public QWidget {
  Q_OBJECT
 public:
  explicit SubjectMirror(QWidget* parent = nullptr);

  // The parts of the operator's window to mirror; any may be null.
  struct Source {
    QWidget* window = nullptr;
    QLabel* title = nullptr;
    QLabel* instructions = nullptr;
    QLabel* time = nullptr;
    KMXCoPDisplay* display = nullptr;
    QList<QPushButton*> buttons;
  };
  void setSource(const Source& source);

  // Shows the window full screen on the screen (the subject's, else the operator's).
  void showOn(QScreen* screen);
  // Sizes and places the mirrored parts for the subject's screen.
  void Display_SyncShape();
  // Copies texts, visibility and the trace.
  void Display_SyncContent();
  // Live trace: every point the operator's display takes is drawn here too.
  void followDisplay(bool on);

  QLabel* lblTitle;
  QLabel* lblInstructions;
  QLabel* lblTime;
  KMXCoPDisplay* display;
  QList<QPushButton*> buttons;

 signals:
  void dismissed();  // a click or key on a subject screen shown over the operator's own monitor

 protected:
  void mousePressEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void presentDisplay();  // marker and trace sized for reading from a distance
  void fitTexts();        // the largest letters at which the instructions and buttons fit
  Source src_;
  QMetaObject::Connection pointConn_, targetConn_;
};

}  // namespace tarn
