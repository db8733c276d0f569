#include "uuIdentity.h"

#include <exception>

#include "IPHLPAPI.h"
#include "common/uuCommon.h"
#include "uuCoding.h"

namespace control::uuIdentity {
namespace {

void LogError(const std::string& text) {
  uuCommon::WriteLog(uuCommon::kLogDir, "Zolmet.err", text, uuCommon::kControlLogHeader);
}

// The list, or false after logging the failure under TAG.
bool MacIP(const char* tag, std::string& list) {
  try {
    list = IPHLPAPI::GetMacIP();
    return true;
  } catch (const std::exception& e) {
    LogError(std::string(tag) + " GetMacIP: " + e.what());
  } catch (...) {
    LogError(std::string(tag) + " GetMacIP: ");
  }
  return false;
}

}  // namespace

std::string GetIPInfo() {
  std::string list;
  return MacIP("[GetIPInfo]", list) ? list : "ERROR";
}

std::string GetInfo(std::int32_t n, std::mt19937& random) {
  std::string list;
  if (!MacIP("[GetInfo]", list)) return "ERROR";
  std::string name = IPHLPAPI::GetLocalComputerName();
  return uuCoding::EncodeWithKey("\r" + name + "\r" + list, n, random);
}

std::int32_t GetInfoSize() {
  std::string list;
  if (!MacIP("[GetInfo]", list)) return 0;
  std::int32_t result = list.empty() ? 0 : 1;
  if (!IPHLPAPI::GetLocalComputerName().empty()) result += 10;
  return result;
}

}  // namespace control::uuIdentity
