// The live handles of one kind. A handle is valid from Add until Remove;
// a closed, unknown or null one is refused with ERROR_INVALID_HANDLE, so
// closing twice or using a closed handle is an error, not a crash.
#pragma once
#include <mutex>
#include <set>

#include "platform/sysroot/files.h"

namespace win {

template <class T>
class LiveHandles {
 public:
  T* Add(T* h) {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.insert(h);
    return h;
  }
  // True when H is live; else false with the last error set.
  bool Check(const T* h) const {
    if (Contains(h)) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  bool Contains(const T* h) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return h && live_.count(h) > 0;
  }
  // Takes H out; true when it was live (the caller then frees it), else
  // false with the last error set.
  bool Remove(const T* h) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (h && live_.erase(h) > 0) return true;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::set<const T*> live_;
};

}  // namespace win
