#pragma once
// The sibling balance program on the session bus: its well-known name is started through bus
// activation when nobody owns it, and each file is handed over with one OpenFile call.
#include <QDBusConnection>
#include <optional>

#include "files/sibling.h"

namespace tarn::fm {

inline constexpr char kSiblingService[] = "com.kamrithlabs.STEADLOG";
inline constexpr char kSiblingPath[] = "/STEADLOG";
inline constexpr char kSiblingInterface[] = "com.kamrithlabs.STEADLOG";

class DBusSibling : public SiblingProgram {
 public:
  // Without a connection the session bus is used, reached only when the program is first needed.
  DBusSibling() = default;
  explicit DBusSibling(const QDBusConnection& bus, int timeoutMs = 15000);
  bool Connect() override;
  bool OpenFile(const QString& path) override;
  const QString& lastError() const { return lastError_; }

 private:
  QDBusConnection& bus();
  std::optional<QDBusConnection> bus_;
  int timeoutMs_ = 15000;
  QString lastError_;
};

}  // namespace tarn::fm
