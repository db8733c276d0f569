#include "netinfo.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sstream>

#include "platform/sysroot/sysroot.h"

namespace netinfo {
namespace {

constexpr unsigned kRouteGateway = 0x2;  // RTF_GATEWAY

std::string Dotted(const sockaddr* sa) {
  if (!sa || sa->sa_family != AF_INET) return "0.0.0.0";
  char buf[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, buf, sizeof buf);
  return buf;
}

void CopyText(char* dst, size_t room, const std::string& src) {
  size_t n = std::min(room - 1, src.size());
  std::memcpy(dst, src.data(), n);
  dst[n] = 0;
}

void FillAddr(IP_ADDR_STRING& a, const std::string& ip, const std::string& mask) {
  a.Next = nullptr;
  CopyText(a.IpAddress, sizeof a.IpAddress, ip);
  CopyText(a.IpMask, sizeof a.IpMask, mask);
  a.Context = 0;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseRouteTable(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // column titles
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string iface, dest, gw, flags;
    if (!(f >> iface >> dest >> gw >> flags)) continue;
    try {
      unsigned long d = std::stoul(dest, nullptr, 16);
      unsigned long g = std::stoul(gw, nullptr, 16);
      unsigned long fl = std::stoul(flags, nullptr, 16);
      if (d != 0 || !(fl & kRouteGateway) || g == 0) continue;
      in_addr a{};
      a.s_addr = static_cast<in_addr_t>(g);  // the table holds it in memory order
      char buf[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &a, buf, sizeof buf);
      out.emplace_back(iface, buf);
    } catch (...) {
    }
  }
  return out;
}

std::vector<Adapter> ReadAdapters() {
  std::vector<Adapter> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  auto find = [&](const char* name) -> Adapter* {
    for (auto& a : out)
      if (a.name == name) return &a;
    return nullptr;
  };
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK)) continue;
    if (i->ifa_addr->sa_family == AF_PACKET) {
      if (find(i->ifa_name)) continue;
      auto* ll = reinterpret_cast<const sockaddr_ll*>(i->ifa_addr);
      Adapter a;
      a.name = i->ifa_name;
      a.description = i->ifa_name;
      a.index = if_nametoindex(i->ifa_name);
      a.type = ll->sll_hatype == 1 ? MIB_IF_TYPE_ETHERNET : MIB_IF_TYPE_OTHER;
      a.mac.assign(ll->sll_addr, ll->sll_addr + std::min<unsigned>(ll->sll_halen, MAX_ADAPTER_ADDRESS_LENGTH));
      out.push_back(a);
    }
  }
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if (Adapter* a = find(i->ifa_name)) a->addresses.push_back({Dotted(i->ifa_addr), Dotted(i->ifa_netmask)});
  }
  freeifaddrs(list);
  std::string routes;
  sysroot::ReadHostFile("/proc/net/route", routes);
  for (const auto& [iface, gw] : ParseRouteTable(routes))
    if (Adapter* a = find(iface.c_str())) a->gateways.push_back(gw);
  return out;
}

win::DWORD FillAdapterInfo(const std::vector<Adapter>& adapters, IP_ADAPTER_INFO* buffer, win::ULONG* size) {
  if (!size) return win::ERROR_INVALID_PARAMETER;
  if (adapters.empty()) return win::ERROR_NO_DATA;
  size_t extra = 0;
  for (const auto& a : adapters) {
    if (a.addresses.size() > 1) extra += a.addresses.size() - 1;
    if (a.gateways.size() > 1) extra += a.gateways.size() - 1;
  }
  size_t needed = adapters.size() * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING);
  if (!buffer || *size < needed) {
    *size = static_cast<win::ULONG>(needed);
    return win::ERROR_BUFFER_OVERFLOW;
  }
  std::memset(static_cast<void*>(buffer), 0, needed);
  auto* more = reinterpret_cast<IP_ADDR_STRING*>(buffer + adapters.size());
  for (size_t n = 0; n < adapters.size(); ++n) {
    const Adapter& a = adapters[n];
    IP_ADAPTER_INFO& info = buffer[n];
    info.Next = n + 1 < adapters.size() ? &buffer[n + 1] : nullptr;
    info.ComboIndex = a.index;
    CopyText(info.AdapterName, sizeof info.AdapterName, a.name);
    CopyText(info.Description, sizeof info.Description, a.description);
    info.AddressLength = static_cast<unsigned>(std::min<size_t>(a.mac.size(), MAX_ADAPTER_ADDRESS_LENGTH));
    std::memcpy(info.Address, a.mac.data(), info.AddressLength);
    info.Index = a.index;
    info.Type = a.type;
    // Addresses: the first in the record, the rest chained from the buffer's tail.
    auto chain = [&](IP_ADDR_STRING& head, const std::vector<std::pair<std::string, std::string>>& items) {
      if (items.empty()) {
        FillAddr(head, "", "");
        return;
      }
      FillAddr(head, items[0].first, items[0].second);
      IP_ADDR_STRING* last = &head;
      for (size_t i = 1; i < items.size(); ++i) {
        FillAddr(*more, items[i].first, items[i].second);
        last->Next = more;
        last = more++;
      }
    };
    std::vector<std::pair<std::string, std::string>> ips, gws;
    for (const auto& ad : a.addresses) ips.emplace_back(ad.ip, ad.mask);
    if (ips.empty()) ips.emplace_back("0.0.0.0", "0.0.0.0");
    for (const auto& g : a.gateways) gws.emplace_back(g, "255.255.255.255");
    chain(info.IpAddressList, ips);
    chain(info.GatewayList, gws);
    FillAddr(info.DhcpServer, "", "");
  }
  return 0;
}

}  // namespace netinfo
