#include "session/sessionnotices.h"

namespace tarn {

SessionNotices& noSessionNotices() {
  static NoSessionNotices none;
  return none;
}

}  // namespace tarn
