#pragma once
// What a report reprint tells the automation clients. The automation module implements this;
// until then NoReportNotices stands in and tells nobody.
namespace tarn {

class ReportNotices {
 public:
  virtual ~ReportNotices() = default;
  virtual void EnteringReportReprint() = 0;
  virtual void ExitingReportReprint() = 0;
};

class NoReportNotices final : public ReportNotices {
 public:
  void EnteringReportReprint() override {}
  void ExitingReportReprint() override {}
};

// A shared do-nothing instance for callers given no notices.
ReportNotices& noReportNotices();

}  // namespace tarn
