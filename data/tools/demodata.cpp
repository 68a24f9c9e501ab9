#include "data/tools/demodata.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <random>
#include <thread>

#include "balance/analysis/analysis.h"
#include "balance/norms/norms.h"
#include "balance/norms/normtypes.h"
#include "balance/plate/plateclock.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "data/records/recordfromrun.h"
#include "data/records/storedanalysis.h"

namespace tarn::demodata {
namespace {

constexpr double kG = 9.80665;

const char* const kMaleNames[] = {"James", "Robert", "Daniel", "Luis", "Ahmed", "Tomasz", "Kenji", "Samuel",
                                  "Noah",  "Oliver", "Mateo",  "Ivan", "Henry", "Arjun",  "Felix", "George"};
const char* const kFemaleNames[] = {"Mary",  "Olivia", "Sofia", "Amara", "Yuki",   "Elena", "Grace", "Fatima",
                                    "Chloe", "Ingrid", "Priya", "Lucia", "Hannah", "Zoe",   "Marta", "Rosa"};
const char* const kLastNames[] = {"Smith",  "Garcia",    "Nguyen",  "Kowalski", "Okafor", "Muller", "Rossi",
                                  "Tanaka", "Johansson", "Haddad",  "Brown",    "Silva",  "Novak",  "Patel",
                                  "Dubois", "Murphy",    "Schmidt", "Kim",      "Lopez",  "Walker"};
const char* const kMiddle[] = {"", "", "", "A.", "J.", "M.", "R.", "L."};

template <class T, size_t N>
const T& pick(std::mt19937_64& rng, const T (&a)[N]) {
  return a[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

// Typical height (m) for an age and sex: growth to 18, then a slow loss after 60.
double typicalHeight(double age, bool male) {
  double h;
  if (age < 18) {
    h = male ? 0.80 + 0.060 * age : 0.80 + 0.057 * age;
    if (age > 13) h -= (male ? 0.004 : 0.012) * (age - 13) * (age - 13);  // growth slows
  } else {
    h = male ? 1.76 : 1.63;
  }
  if (age > 60) h -= 0.0015 * (age - 60);
  return h;
}

// Typical body-mass index for an age.
double typicalBMI(double age) {
  if (age < 6) return 15.5;
  if (age < 18) return 15.5 + 0.45 * (age - 6);
  return std::min(27.5, 21.5 + 0.12 * (age - 18));
}

class PlateRecorder final : public Recorder {
 public:
  explicit PlateRecorder(quint64 seed) : ownsClock_(!plateclock::manual()) {
    // The recorder moves plate time itself: recording runs at processor speed, with no wait
    // on the wall clock, and the samples are the same on a fast or a loaded machine.
    if (ownsClock_) plateclock::setManual(true);
    SimulatedPlateConfig cfg;
    cfg.seed = seed == 0 ? 1 : seed;
    cfg.temperatureC = 26.0;
    plate_ = std::make_unique<SimulatedPlate>(1, cfg);
    QObject::connect(plate_.get(), &KMX_BalancePlate::ZeroDone, &ctx_,
                     [this](QVariant, QVariant, QVariant) { zeroDone_ = true; });
    QObject::connect(plate_.get(), &KMX_BalancePlate::TestDone, &ctx_, [this](bool pre) {
      if (!pre) testDone_ = true;
    });
  }

  std::shared_ptr<const StoredTestData> record(const SimulatedSubject& subject, float fs, double seconds,
                                               double date) override {
    ProcLog log("DemoData", "PlateRecord");
    plate_->setSubject(subject);
    if (!plate_->IsZeroed()) {
      zeroDone_ = false;
      if (!plate_->ZeroStart(2000, 2500) || !waitFor(zeroDone_)) {
        log.error(QStringLiteral("Zero failed"));
        return nullptr;
      }
      plate_->ZeroAccept();
    }
    testDone_ = false;
    if (!plate_->TestStart(fs, 1000, static_cast<qint32>(seconds * 1000)) || !waitFor(testDone_)) {
      log.error(QStringLiteral("Test failed"));
      return nullptr;
    }
    const auto data = plate_->TestData();
    if (!data || data->Count() == 0) return nullptr;
    std::vector<float> ch[3];
    for (int c = 0; c < 3; ++c) {
      ch[c].resize(static_cast<size_t>(data->Count()));
      for (qint32 i = 0; i < data->Count(); ++i) ch[c][static_cast<size_t>(i)] = data->Sample(c, i);
    }
    log.completed();
    return std::make_shared<StoredTestData>(data->Frequency(), date, std::move(ch[0]), std::move(ch[1]),
                                            std::move(ch[2]));
  }

  PlateZero zero() const override { return plate_->AcceptedZero(); }

  ~PlateRecorder() override {
    plate_.reset();
    if (ownsClock_) plateclock::setManual(false);
  }

 private:
  // Plate time moves on in steps until the plate reports; a plate that never does gives up
  // after a minute of plate time.
  bool waitFor(const bool& flag) {
    constexpr double kStepMs = 250.0;
    for (double waited = 0.0; !flag; waited += kStepMs) {
      if (waited > 60000.0) return false;
      plateclock::advance(kStepMs);
      QCoreApplication::processEvents();  // what the plate queued rather than sent at once
    }
    return true;
  }

  bool ownsClock_;
  QObject ctx_;
  std::unique_ptr<SimulatedPlate> plate_;
  bool zeroDone_ = false;
  bool testDone_ = false;
};

class ModelRecorder final : public Recorder {
 public:
  // The zero of an empty plate of this model: about −4.1 V per channel, some 20 codes of noise.
  explicit ModelRecorder(quint64 seed) : rng_(seed) {
    std::normal_distribution<double> n(0.0, 1.0);
    zero_.valid = true;
    zero_.durationMs = 2000;
    zero_.excitationMv = 2500;
    for (int c = 0; c < 3; ++c) {
      zero_.ave[static_cast<size_t>(c)] = std::round((-4.08 + 0.03 * n(rng_)) / 10.0 * 16777216.0);
      zero_.rms[static_cast<size_t>(c)] = 20.0 + 3.0 * std::fabs(n(rng_));
      zero_.sd[static_cast<size_t>(c)] = zero_.rms[static_cast<size_t>(c)] * 1.2;
    }
  }
  PlateZero zero() const override { return zero_; }
  std::shared_ptr<const StoredTestData> record(const SimulatedSubject& subject, float fs, double seconds,
                                               double date) override {
    SwayModel sway(rng_());
    sway.setCondition(subject.eyesClosed, subject.onFoam, subject.swayScale);
    const auto n = static_cast<size_t>(std::llround(fs * seconds));
    std::vector<float> fz(n), m1(n), m2(n);
    std::normal_distribution<double> noise(0.0, 0.4);
    const double dt = 1.0 / fs;
    const double weightN = subject.weightKg * kG;
    for (size_t i = 0; i < n; ++i) {
      const SwayModel::Step s = sway.step(dt);
      const double f = -(weightN * (1.0 + s.verticalAccel / kG)) + noise(rng_);
      const double x = subject.meanXm + s.x, y = subject.meanYm + s.y;
      fz[i] = static_cast<float>(f);
      m1[i] = static_cast<float>(y * f);
      m2[i] = static_cast<float>(-x * f);
    }
    return std::make_shared<StoredTestData>(fs, date, std::move(fz), std::move(m1), std::move(m2));
  }

 private:
  std::mt19937_64 rng_;
  PlateZero zero_;
};

struct TestKind {
  KM_RQNormTestType type;
  const char* name;
  bool eyesClosed;
  bool foam;
  qint32 surface;  // condition indexes of the test window
  qint32 eyes;
};
const TestKind kKinds[4] = {
    {KM_RQNormTestType::NSEO, "Normal Stability Eyes Open", false, false, 1, 1},
    {KM_RQNormTestType::NSEC, "Normal Stability Eyes Closed", true, false, 1, 2},
    {KM_RQNormTestType::PSEO, "Perturbed Stability Eyes Open", false, true, 2, 1},
    {KM_RQNormTestType::PSEC, "Perturbed Stability Eyes Closed", true, true, 2, 2},
};

// The zero a test was taken with, as the zeroing step stores it.
void storeZero(BalanceTest& t, const PlateZero& z, double date, qint32 surface) {
  if (!z.valid) return;
  t.dtZeroDate = date;
  t.lZeroDurationMs = z.durationMs;
  t.lExcitationMv = z.excitationMv;
  t.lZeroSurface = surface;
  float* ave[3] = {&t.fZeroAve1, &t.fZeroAve2, &t.fZeroAve3};
  float* sd[3] = {&t.fZeroSD1, &t.fZeroSD2, &t.fZeroSD3};
  float* rms[3] = {&t.fZeroRMS1, &t.fZeroRMS2, &t.fZeroRMS3};
  for (size_t c = 0; c < 3; ++c) {
    *ave[c] = static_cast<float>(z.ave[c]);
    *sd[c] = static_cast<float>(z.sd[c]);
    *rms[c] = static_cast<float>(z.rms[c]);
  }
}

// Saves finished files on a few threads while the next ones are recorded: a save mostly waits
// for the disk to confirm the file, and those waits then overlap with the recording.
class Savers {
 public:
  Savers() {
    for (auto& t : threads_) t = std::thread([this] { run(); });
  }
  ~Savers() { finish(nullptr); }

  // Waits while too many files are pending, so memory stays bounded.
  void add(int number, const QString& path, std::unique_ptr<SubjectFile> file) {
    std::unique_lock lock(m_);
    room_.wait(lock, [&] { return queue_.size() < kPending; });
    queue_.push_back(Job{number, path, std::move(file)});
    work_.notify_one();
  }
  bool failed() {
    std::lock_guard lock(m_);
    return firstFailed_ != kNone;
  }
  // Waits for every save; the files written in order before the first that failed.
  int finish(QString* error) {
    {
      std::lock_guard lock(m_);
      closing_ = true;
    }
    work_.notify_all();
    for (auto& t : threads_)
      if (t.joinable()) t.join();
    if (firstFailed_ != kNone && error) *error = failure_;
    return firstFailed_ != kNone ? firstFailed_ - 1 : saved_;
  }

 private:
  static constexpr size_t kPending = 8;
  static constexpr int kNone = std::numeric_limits<int>::max();
  struct Job {
    int number;
    QString path;
    std::unique_ptr<SubjectFile> file;
  };
  void run() {
    while (true) {
      Job job;
      {
        std::unique_lock lock(m_);
        work_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      room_.notify_one();
      const bool ok = job.file->Save(job.path);
      std::lock_guard lock(m_);
      if (ok) {
        ++saved_;
      } else if (job.number < firstFailed_) {
        firstFailed_ = job.number;
        failure_ = job.file->LastError();
        ProcLog("DemoData", "WriteDemoFolder").error("Cannot save " + job.path + ": " + failure_);
      }
    }
  }

  std::mutex m_;
  std::condition_variable work_, room_;
  std::deque<Job> queue_;
  bool closing_ = false;
  int saved_ = 0;
  int firstFailed_ = kNone;
  QString failure_;
  std::thread threads_[4];
};

}  // namespace

std::unique_ptr<Recorder> makePlateRecorder(quint64 seed) { return std::make_unique<PlateRecorder>(seed); }
std::unique_ptr<Recorder> makeModelRecorder(quint64 seed) { return std::make_unique<ModelRecorder>(seed); }

int writeDemoFolder(const QString& folder, const Options& o, Recorder& recorder, QString* error) {
  ProcLog log("DemoData", "WriteDemoFolder", QStringLiteral("%1 files in %2").arg(o.files).arg(folder));
  if (!QDir().mkpath(folder)) {
    if (error) *error = "Cannot create the folder " + folder;
    log.error("Cannot create " + folder);
    return 0;
  }
  std::mt19937_64 rng(o.seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double today = o.today != 0 ? o.today : std::floor(clock::nowDays());
  const int minV = std::max(1, o.minVisits), maxV = std::max(minV, o.maxVisits);

  Savers savers;
  auto stop = [&](int made, const QString& why) {
    const int saved = savers.finish(error);
    if (saved >= made && error) *error = why;
    return std::min(saved, made);
  };
  for (int n = 1; n <= o.files; ++n) {
    if (savers.failed()) break;
    auto made = std::make_unique<SubjectFile>();
    SubjectFile& f = *made;
    if (!f.CreateEmpty()) return stop(n - 1, f.LastError());
    const bool male = uni(rng) < 0.5;
    const double age = 5.0 + uni(rng) * 85.0;  // at the latest visit
    f.subject.sNameFirst = QString::fromLatin1(male ? pick(rng, kMaleNames) : pick(rng, kFemaleNames));
    f.subject.sNameMiddle = QString::fromLatin1(pick(rng, kMiddle));
    f.subject.sNameLast = QString::fromLatin1(pick(rng, kLastNames));
    f.subject.sSubjectID = QStringLiteral("DEMO-%1").arg(n, 5, 10, QChar('0'));
    f.subject.lIsMale = male ? kSexMale : kSexFemale;
    f.subject.dtDoB = std::floor(today - age * 365.2425);
    f.sTitle = f.subject.sNameFirst + ' ' + f.subject.sNameLast;

    const double heightNow = typicalHeight(age, male) * (1.0 + 0.035 * std::clamp(normal(rng), -2.5, 2.5));
    const double bmiNow = std::clamp(typicalBMI(age) * (1.0 + 0.2 * normal(rng)), 13.5, 45.0);
    // Older and very young subjects sway more, and some people are simply less steady.
    const double steadiness = (age < 10   ? 1.5
                               : age > 65 ? 1.0 + (age - 65) * 0.03
                                          : 1.0) *
                              std::exp(0.3 * normal(rng));

    const int visits = minV + static_cast<int>(uni(rng) * (maxV - minV + 1));
    std::vector<double> dates(static_cast<size_t>(visits));
    double d = today - std::floor(uni(rng) * 30);
    for (int v = visits - 1; v >= 0; --v) {
      dates[static_cast<size_t>(v)] = d;
      d -= 30 + std::floor(uni(rng) * 300);
    }
    for (int v = 0; v < visits; ++v) {
      const double visitDate = dates[static_cast<size_t>(v)];
      const double ageThen = age - (today - visitDate) / 365.2425;
      Visit* visit = f.AddVisit();
      visit->dtDate = visitDate;
      visit->dtTimeBegin = visitDate + (9.0 + uni(rng) * 7.0) / 24.0;
      visit->dtTimeEnd = visit->dtTimeBegin + 0.5 / 24.0;
      const double grow = ageThen < 18 ? typicalHeight(ageThen, male) / typicalHeight(age, male) : 1.0;
      visit->phys.dHeight = std::round(heightNow * grow * 1000.0) / 1000.0;
      visit->phys.dMass =
          std::round(bmiNow * visit->phys.dHeight * visit->phys.dHeight * (1.0 + 0.02 * normal(rng)) * 10.0) /
          10.0;
      visit->phys.lDominantSide = uni(rng) < 0.9 ? kSideRight : kSideLeft;

      // Some visits repeat the test after a rest, sometimes only with the eyes open and closed.
      int sessions = 1;
      if (o.repeatSessions && uni(rng) < 0.3) sessions += uni(rng) < 0.25 ? 2 : 1;
      const auto los = BaseLimitsOfStability(visit->phys.dHeight);
      double sessionStart = visit->dtTimeBegin;
      for (int k = 0; k < sessions; ++k) {
        Session* session = visit->AddSession();
        session->dtDate = sessionStart;
        session->sName = k == 0 ? QStringLiteral("Balance screening") : QStringLiteral("Repeat after rest");
        session->kmOperator.sOperatorName = QStringLiteral("Demo Operator");
        const int kinds = k > 0 && uni(rng) < 0.5 ? 2 : 4;
        for (int i = 0; i < kinds; ++i) {
          const TestKind& kind = kKinds[i];
          const double testDate = sessionStart + (2.0 + 1.0 * i) / (24.0 * 60.0);
          SimulatedSubject s;
          s.weightKg = visit->phys.dMass;
          s.eyesClosed = kind.eyesClosed;
          s.onFoam = kind.foam;
          s.presence = SimulatedSubject::Presence::Auto;
          s.swayScale = steadiness;
          s.meanXm = 0.004 * normal(rng);
          s.meanYm = 0.015 + 0.008 * normal(rng);
          auto data = recorder.record(s, o.fs, o.testSeconds, testDate);
          if (!data) {
            log.error(QStringLiteral("Recording failed"));
            return stop(n - 1, QStringLiteral("Recording a test failed"));
          }
          BalanceTest* t = session->AddBalanceTest();
          t->sName = QString::fromLatin1(kind.name);
          t->lTestType = static_cast<qint32>(kind.type);
          t->dtDate = testDate;
          t->lSurface = kind.surface;
          t->lEyes = kind.eyes;
          t->lStance = StanceNormal;
          t->fFrequency = o.fs;
          t->fPretest = 1.0f;
          t->fOrigDuration = static_cast<float>(o.testSeconds);
          t->bBeepEnd = kTrue;
          t->sPlate = QStringLiteral("KM Force Platform (simulated)");
          t->sPlateSerial = QStringLiteral("SIM-0001");
          t->fLoSX = los ? static_cast<float>(los->x) : 0.129f;
          t->fLoSY = los ? static_cast<float>(los->y) : 0.080f;
          t->fHeight = static_cast<float>(visit->phys.dHeight);
          t->fWeight = static_cast<float>(visit->phys.dMass);
          storeZero(*t, recorder.zero(), sessionStart + 1.0 / (24.0 * 60.0), kind.surface);
          t->SetTestData(std::move(data));
          // Analysed and stored as the station stores a finished test.
          FillBalanceTest(*t, RunFromBalanceTest(*t, f.subject.dtDoB, StoredAnalysisSettings{}));
          // As the list computes it, from the stored single-precision body data.
          t->fBMI = static_cast<float>(double(t->fWeight) / (double(t->fHeight) * double(t->fHeight)));
          const auto bmiClass = ClassifyBMI(t->fBMI, f.subject.dtDoB, t->dtDate, f.subject.lIsMale);
          t->lBMIClass = bmiClass ? static_cast<qint32>(*bmiClass) : 0;
        }
        sessionStart += (25.0 + 20.0 * uni(rng)) / (24.0 * 60.0);
      }
      visit->dtTimeEnd = sessionStart;
    }
    savers.add(n, QDir(folder).filePath(QStringLiteral("DEMO%1.kpf").arg(n, 6, 10, QChar('0'))),
               std::move(made));
  }
  const int written = savers.finish(error);
  log.completed();
  return written;
}

}  // namespace tarn::demodata
