#include "platform/dshow/com_object.h"

namespace dshow {

std::atomic<long>& LiveObjects() {
  static std::atomic<long> count{0};
  return count;
}

}  // namespace dshow
