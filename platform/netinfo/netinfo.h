// Network adapters as the kernel reports them: hardware address, IPv4
// addresses with masks and default gateways.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "iphlpapi.h"

namespace netinfo {

struct Address {
  std::string ip;    // dotted decimal
  std::string mask;
};

struct Adapter {
  std::string name;
  std::string description;
  std::vector<std::uint8_t> mac;
  std::uint32_t index = 0;
  unsigned type = MIB_IF_TYPE_ETHERNET;
  std::vector<Address> addresses;     // none: the adapter has no IPv4 address
  std::vector<std::string> gateways;  // none: no default gateway
};

// Every interface with a hardware address except loopback, in kernel order.
std::vector<Adapter> ReadAdapters();
// Default gateways per interface from a routing table in the layout of
// /proc/net/route.
std::vector<std::pair<std::string, std::string>> ParseRouteTable(const std::string& text);

// Lays ADAPTERS out in BUFFER as GetAdaptersInfo does (see iphlpapi.h).
win::DWORD FillAdapterInfo(const std::vector<Adapter>& adapters, IP_ADAPTER_INFO* buffer, win::ULONG* size);

}  // namespace netinfo
