#include "core/windows/subjectforms.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

KMTARNRQSF::KMTARNRQSF(QObject* parent) : QObject(parent) {}

KMTARNRQSF::~KMTARNRQSF() { HideAll(); }

int KMTARNRQSF::MonitorCount() const { return int(QGuiApplication::screens().size()); }

void KMTARNRQSF::setMonitor(int monitor) {
  monitor_ = monitor >= 0 && monitor <= MonitorCount() ? monitor : 0;
  if (idle_ && !subjectScreen()) HideAll();
}

QScreen* KMTARNRQSF::subjectScreen() const {
  const auto screens = QGuiApplication::screens();
  return monitor_ >= 1 && monitor_ <= screens.size() ? screens.at(monitor_ - 1) : nullptr;
}

QScreen* KMTARNRQSF::displayScreen() const {
  QScreen* s = subjectScreen();
  return s ? s : QGuiApplication::primaryScreen();
}

int KMTARNRQSF::ColorDepth() const {
  QScreen* s = subjectScreen();
  return s ? s->depth() : 0;
}

QString KMTARNRQSF::DeviceName() const {
  QScreen* s = displayScreen();
  if (!s) return QString();
  // Some platforms leave screens unnamed; a stored empty name would read back as "never entered".
  return s->name().isEmpty() ? Str(1917).arg(QGuiApplication::screens().indexOf(s) + 1) : s->name();
}

QString KMTARNRQSF::DeviceString() const {
  QScreen* s = displayScreen();
  if (!s) return QString();
  const QString text = (s->manufacturer() + ' ' + s->model()).trimmed();
  return text.isEmpty() ? DeviceName() : text;
}

int KMTARNRQSF::ResHor() const {
  QScreen* s = displayScreen();
  return s ? qRound(s->geometry().width() * s->devicePixelRatio()) : 0;
}

int KMTARNRQSF::ResVert() const {
  QScreen* s = displayScreen();
  return s ? qRound(s->geometry().height() * s->devicePixelRatio()) : 0;
}

void KMTARNRQSF::ShowIdle(QWidget* operatorWindow) {
  ProcLog log("KMTARNRQSF", "ShowIdle");
  QScreen* s = subjectScreen();
  if (!s || (operatorWindow && operatorWindow->screen() == s)) {
    log.step("No separate subject monitor");
    HideAll();
    return;
  }
  if (!idle_) {
    auto* w = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint);
    w->setObjectName("frmSIdle");
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setStyleSheet("#frmSIdle { background: #10253a; } QLabel { color: #9fb8cf; font-size: 28pt; }");
    auto* layout = new QVBoxLayout(w);
    auto* title = new QLabel(Str(1000), w);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    idle_ = w;
  }
  idle_->setScreen(s);
  idle_->setGeometry(s->geometry());
  idle_->show();
  log.step("Idle screen on " + s->name());
  log.completed();
}

void KMTARNRQSF::HideAll() {
  if (idle_) idle_->close();
}

}  // namespace tarn
