// A stand-in IP helper library for the control's tests. It reads the file
// named by ZOLMET_TEST_ADAPTERS, one line each:
//   adapter MAC IP/MASK[,IP/MASK...] GATEWAY[,GATEWAY...]   ("-" for none)
//   size0           the size query answers 0
//   fail CODE       the second call fails with CODE
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/netinfo/iphlpapi.h"
#include "platform/netinfo/netinfo.h"

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  if (s == "-") return out;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, sep)) out.push_back(part);
  return out;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) win::DWORD GetAdaptersInfo(IP_ADAPTER_INFO* info,
                                                                               win::ULONG* size) {
  const char* file = std::getenv("ZOLMET_TEST_ADAPTERS");
  std::ifstream in(file ? file : "");
  std::vector<netinfo::Adapter> adapters;
  std::string line;
  win::DWORD failWith = 0;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string kind;
    f >> kind;
    if (kind == "size0") {
      if (size) *size = 0;
      return win::ERROR_BUFFER_OVERFLOW;
    }
    if (kind == "fail") f >> failWith;
    if (kind != "adapter") continue;
    std::string mac, ips, gws;
    f >> mac >> ips >> gws;
    netinfo::Adapter a;
    a.name = a.description = "test" + std::to_string(adapters.size());
    for (size_t i = 0; i + 1 < mac.size(); i += 2)
      a.mac.push_back(static_cast<std::uint8_t>(std::stoul(mac.substr(i, 2), nullptr, 16)));
    for (const auto& ip : Split(ips, ',')) {
      size_t slash = ip.find('/');
      a.addresses.push_back({ip.substr(0, slash), slash == std::string::npos ? "" : ip.substr(slash + 1)});
    }
    a.gateways = Split(gws, ',');
    adapters.push_back(a);
  }
  if (failWith && info) return failWith;
  return netinfo::FillAdapterInfo(adapters, info, size);
}
