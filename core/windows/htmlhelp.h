#pragma once
// The help object: the help file "KMTARNRQ.chm" stands for the HTML pages shipped in the "help"
// folder next to the executable; a context number opens "<context>.html", no context "index.html".
#include <QString>
#include <QUrl>
#include <functional>

namespace tarn {

class KMX_HTMLHelp {
 public:
  void setHelpFile(const QString& helpFile) { helpFile_ = helpFile; }
  QString HelpFile() const { return helpFile_; }

  // Opens the page of the context (index page for 0 or when the context has no page of its own).
  // Does nothing and returns false when no help page is installed.
  bool ShowContext(int context) const;
  bool ShowIndex() const { return ShowContext(0); }

  static QString helpFolder();          // <program folder>/help
  static QString pageFor(int context);  // the page that would open; empty when none exists

  // Tests replace the desktop opener (QDesktopServices) to see which page would open.
  using Opener = std::function<bool(const QUrl&)>;
  static Opener setOpener(Opener opener);

 private:
  QString helpFile_ = QStringLiteral("KMTARNRQ.chm");
};

}  // namespace tarn
