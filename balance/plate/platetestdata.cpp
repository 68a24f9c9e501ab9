#include <algorithm>

#include "balance/plate/plate.h"
#include "core/clock.h"

namespace tarn {

PlateTestDataBuffer::PlateTestDataBuffer(float frequency, double dateTime)
    : frequency_(frequency), dateTime_(dateTime) {}

PlateTestDataBuffer::PlateTestDataBuffer(float frequency, double dateTime, std::vector<float> fz,
                                         std::vector<float> m1, std::vector<float> m2)
    : frequency_(frequency), dateTime_(dateTime), ch_{std::move(fz), std::move(m1), std::move(m2)} {
  const size_t n = std::min({ch_[0].size(), ch_[1].size(), ch_[2].size()});
  for (auto& c : ch_) c.resize(n);
}

std::shared_ptr<const PlateTestDataBuffer> PlateTestDataBuffer::copyOf(const KMX_PlateTestData& source) {
  const qint32 n = std::max<qint32>(0, source.Count());
  std::vector<float> c[3];
  for (int ch = 0; ch < 3; ++ch) {
    c[ch].resize(static_cast<size_t>(n));
    for (qint32 i = 0; i < n; ++i) c[ch][static_cast<size_t>(i)] = source.Sample(ch, i);
  }
  return std::make_shared<PlateTestDataBuffer>(source.Frequency(), source.DateTime(), std::move(c[0]),
                                               std::move(c[1]), std::move(c[2]));
}

void PlateTestDataBuffer::append(float fz, float m1, float m2) {
  ch_[0].push_back(fz);
  ch_[1].push_back(m1);
  ch_[2].push_back(m2);
}

void PlateTestDataBuffer::reserve(qint32 n) {
  if (n <= 0) return;
  for (auto& c : ch_) c.reserve(static_cast<size_t>(n));
}

bool PlateTestDataBuffer::setChannels(std::vector<float> fz, std::vector<float> m1, std::vector<float> m2) {
  if (fz.size() != m1.size() || fz.size() != m2.size()) return false;
  ch_[0] = std::move(fz);
  ch_[1] = std::move(m1);
  ch_[2] = std::move(m2);
  return true;
}

qint32 PlateTestDataBuffer::Count() const { return static_cast<qint32>(ch_[0].size()); }

float PlateTestDataBuffer::Sample(int channel, qint32 index) const {
  if (channel < 0 || channel > 2 || index < 0 || index >= Count()) return 0.0f;
  return ch_[channel][static_cast<size_t>(index)];
}

const float* PlateTestDataBuffer::channel(int c) const {
  if (c < 0 || c > 2) return nullptr;
  return ch_[c].data();
}

double KMX_BalancePlate::ZeroAgeSeconds() const {
  if (!IsZeroed()) return -1.0;
  return std::max(0.0, (clock::nowDays() - ZeroTime()) * 86400.0);
}

}  // namespace tarn
