#pragma once
// The current subject file and its life: opened through a working copy in the temporary folder,
// changed only there, saved with four backup generations, closed with the save question, and
// recovered after a crash from the working copy that "Last Name" / "Last Temp" point to.
// The application object owns one; the test session, the shutdown and the automation work on it.
// Every routine logs with the module name of the main window's file routines.
#include <QString>
#include <functional>
#include <memory>

#include "data/subjectfile/subjectfile.h"

namespace tarn {

class KM_RQTemplate;
class SessionNotices;

class CurrentSubjectFile {
 public:
  explicit CurrentSubjectFile(SessionNotices* notices = nullptr);
  ~CurrentSubjectFile();
  CurrentSubjectFile(const CurrentSubjectFile&) = delete;
  CurrentSubjectFile& operator=(const CurrentSubjectFile&) = delete;

  void setNotices(SessionNotices* notices);  // null: nobody is told
  SessionNotices& notices() const { return *notices_; }
  // The save question is asked only while the main window is visible (default: always).
  void setMainWindowVisible(std::function<bool()> visible) { visible_ = std::move(visible); }

  bool IsOpen() const { return file_ != nullptr; }
  SubjectFile* file() const { return file_.get(); }
  const QString& sFileName() const { return name_; }  // the subject file ("Last Name")
  const QString& sTempName() const { return temp_; }  // its working copy ("Last Temp")
  bool bDataChanged() const { return changed_; }
  // Marks the object changed since the last save (and since the working copy was last written).
  void setDataChanged(bool changed) {
    changed_ = changed;
    if (changed) copyStale_ = true;
  }

  // Opens an existing subject file, or starts a new one under that name, as the current file.
  bool fnFileOpen(const QString& fileName);
  // Closes the current file, asking whether to save changed data; true when the operator cancelled
  // (the file then stays open).
  bool fnFileClose(bool noPrompt);
  // Saves the current file; on failure the file on disk and its backups are as they were and the
  // working copy keeps the data.
  bool fnDataSave(bool keepOpen);
  // At start-up, with empty arguments: offers to recover the unsaved file the settings point to.
  bool fnFileRecover(const QString& lastName = QString(), const QString& lastTemp = QString());
  // The file exists and opens as a subject file with the station's identification.
  static bool fnFileIsAcceptable(const QString& fileName);

  // A visit dated now with the physical information and medical contacts of the latest earlier
  // visit; null when no file is open.
  Visit* fnFileAddNewVisit();
  // A session in the current (latest) visit, named from the template when one is given; adds the
  // first visit when the file has none.
  Session* fnFileAddNewSession(const KM_RQTemplate* tmpl);

  // Vision tests that were never done and hold no result cannot be run by this station; they are
  // dropped from every session but `keep` (the session being tested).
  void RemoveOrphanVisionTests(const Session* keep = nullptr);
  // A zero is only good for the test taken with it: tests that hold a zero but no recording
  // forget it (the platform's zero does not outlive the program).
  void RemoveOrphanZeros();

  // Writes the file object into the working copy, so that a crash loses at most the step in hand.
  // Unless forced, only when something changed since it was last written.
  bool SaveWorkingCopy(bool force = true);

  // A new working-copy name in the temporary folder ("~ST", unique, the "Temp Ext" extension);
  // the file is created empty and private. Empty when the folder cannot be written.
  static QString NewWorkingCopyName();
  // The first "STF" + six digits + extension name that does not exist in folder.
  static QString NewSubjectFileName(const QString& folder, const QString& extension);
  // Whole days between two day counts (later - earlier, fractions cut off the dates).
  static qint32 WholeDaysBetween(double earlier, double later);

 private:
  bool openFailed(bool anythingOpen);
  void forget();  // closes the object, deletes the working copy, clears the settings pair

  SessionNotices* notices_;
  std::function<bool()> visible_;
  std::unique_ptr<SubjectFile> file_;
  QString name_;
  QString temp_;
  bool changed_ = false;
  bool copyStale_ = false;  // the object holds changes the working copy does not
};

}  // namespace tarn
