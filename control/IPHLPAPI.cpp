#include "IPHLPAPI.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/process/library.h"
#include "platform/netinfo/iphlpapi.h"
#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"

namespace control::IPHLPAPI {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// A decimal integer with an optional sign.
bool ParseInteger(const std::string& s, long long& out) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 0xFFFFFFFFLL) return false;
  }
  out = neg ? -v : v;
  return true;
}

void Hex(std::string& out, std::uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, v);
  out += buf;
}

struct LibraryCloser {
  void operator()(void* h) const { win::FreeLibrary(h); }
};

}  // namespace

std::uint32_t IPStrToNum(const std::string& text) {
  std::string s = Trim(text) + ".";
  std::uint32_t n = 0;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t dot = s.find('.', pos);
    std::string part = s.substr(pos, dot - pos);
    pos = dot + 1;
    long long v;
    if (part.empty() || !ParseInteger(part, v) || v < 0 || v > 255) break;
    n = n * 256 + static_cast<std::uint32_t>(v);
  }
  return n;
}

std::string GetMacIP() {
  std::string system = sysroot::SystemDir();
  if (system.size() >= 50) system.resize(49);  // the 50-character buffer
  std::unique_ptr<void, LibraryCloser> lib(win::LoadLibrary(system + "\\IPHLPAPI.DLL"));
  if (!lib) throw EIPHelperError("載入函式庫失敗");
  GetAdaptersInfoProc getAdaptersInfo = nullptr;
  try {
    getAdaptersInfo = reinterpret_cast<GetAdaptersInfoProc>(win::GetProcAddress(lib.get(), "GetAdaptersInfo"));
  } catch (...) {
  }
  if (!getAdaptersInfo) throw EIPHelperError("取得函式指標失敗");

  win::ULONG size = 0;
  getAdaptersInfo(nullptr, &size);
  if (size == 0) throw EIPHelperError("取得長度失敗");
  // Whole records, so that the chain is properly aligned.
  std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
  win::ULONG room = static_cast<win::ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
  win::DWORD rc = getAdaptersInfo(buffer.data(), &room);
  switch (rc) {
    case 0: break;
    case 50: throw EIPHelperError("不支援");
    case 87: throw EIPHelperError("無效的參數");
    case 111: throw EIPHelperError("空間不足");
    case 232: throw EIPHelperError("沒有資料");
    default: throw EIPHelperError("其他錯誤");
  }

  std::string list;
  for (const IP_ADAPTER_INFO* a = buffer.data(); a; a = a->Next) {
    std::string gateway(a->GatewayList.IpAddress, strnlen(a->GatewayList.IpAddress, sizeof a->GatewayList.IpAddress));
    if (gateway.empty()) continue;
    std::uint32_t gw = IPStrToNum(gateway);
    std::string line;
    for (int i = 0; i < 6; ++i) Hex(line, a->Address[i], 2);
    bool any = false;
    for (const IP_ADDR_STRING* ip = &a->IpAddressList; ip; ip = ip->Next) {
      std::uint32_t addr = IPStrToNum(std::string(ip->IpAddress, strnlen(ip->IpAddress, sizeof ip->IpAddress)));
      std::uint32_t mask = IPStrToNum(std::string(ip->IpMask, strnlen(ip->IpMask, sizeof ip->IpMask)));
      if ((addr & mask) == (gw & mask)) {
        Hex(line, addr, 8);
        any = true;
      }
    }
    if (any) list += line + "\r";
  }
  return list;
}

std::string GetLocalComputerName() {
  try {
    std::string name = win::GetComputerName();
    if (name.size() > 49) name.resize(49);
    return name;
  } catch (...) {
    return "";
  }
}

}  // namespace control::IPHLPAPI
