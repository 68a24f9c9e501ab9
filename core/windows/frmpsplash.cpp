#include "core/windows/frmpsplash.h"

#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QVBoxLayout>

#include "core/version.h"
#include "support/strings/strings.h"

namespace tarn {

frmPSplash::frmPSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("frmPSplash");
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(480, 280);
  setStyleSheet(
      "#frmPSplash { background: #f4f7fa; border: 1px solid #3d6a8f; }"
      "QLabel#lblProductName { color: #1f4e79; font-size: 30pt; font-weight: 600; }"
      "QLabel#lblVersion, QLabel#lblPlatform { color: #2b2b2b; font-size: 11pt; }"
      "QLabel#lblCompany { color: #5a6570; font-size: 9pt; }");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(32, 32, 32, 24);
  lblProductName = new QLabel(Str(1000), this);
  lblProductName->setObjectName("lblProductName");
  lblVersion = new QLabel(Str(1072).arg(versionText()), this);
  lblVersion->setObjectName("lblVersion");
  lblPlatform = new QLabel(platformLine(), this);
  lblPlatform->setObjectName("lblPlatform");
  lblCompany = new QLabel(Str(1073), this);
  lblCompany->setObjectName("lblCompany");
  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setStyleSheet("color: #3d6a8f;");
  for (auto* l : {lblProductName, lblVersion, lblPlatform}) l->setAlignment(Qt::AlignCenter);
  lblCompany->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  layout->addStretch(1);
  layout->addWidget(lblProductName);
  layout->addWidget(rule);
  layout->addWidget(lblVersion);
  layout->addWidget(lblPlatform);
  layout->addStretch(2);
  layout->addWidget(lblCompany);
}

QString frmPSplash::platformLine() {
  const QString pretty = QSysInfo::prettyProductName();
  if (QSysInfo::kernelType() == "linux") {
    // A distribution that names itself reads better than the bare kernel.
    if (!pretty.isEmpty() && pretty.contains("Linux", Qt::CaseInsensitive)) return Str(1074).arg(pretty);
    if (!pretty.isEmpty() && pretty != "Unknown") return Str(1075).arg(pretty);
    return Str(1074).arg(QStringLiteral("Linux"));
  }
  return Str(1074).arg(pretty.isEmpty() ? QSysInfo::kernelType() : pretty);
}

void frmPSplash::centreOn(QWidget* other) {
  QScreen* s = other && other->screen() ? other->screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect g = s->availableGeometry();
  move(g.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace tarn
