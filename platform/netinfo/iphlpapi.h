// The IP helper's adapter list in the shape callers of GetAdaptersInfo
// expect: one chain of adapter records inside the caller's buffer.
#pragma once
#include <cstdint>

#include "platform/sysroot/files.h"

constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;
constexpr unsigned MIB_IF_TYPE_OTHER = 1;
constexpr unsigned MIB_IF_TYPE_ETHERNET = 6;

struct IP_ADDR_STRING {
  IP_ADDR_STRING* Next;
  char IpAddress[16];
  char IpMask[16];
  win::DWORD Context;
};

struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO* Next;
  win::DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
  unsigned AddressLength;
  std::uint8_t Address[MAX_ADAPTER_ADDRESS_LENGTH];
  win::DWORD Index;
  unsigned Type;
  unsigned DhcpEnabled;
  IP_ADDR_STRING* CurrentIpAddress;
  IP_ADDR_STRING IpAddressList;
  IP_ADDR_STRING GatewayList;
  IP_ADDR_STRING DhcpServer;
};

// Fills INFO (a buffer of *SIZE bytes) with the adapter chain: 0 when done;
// ERROR_BUFFER_OVERFLOW with the needed size in *SIZE when the buffer is
// null or too small; ERROR_NO_DATA without adapters; ERROR_INVALID_PARAMETER
// when SIZE is null.
extern "C" win::DWORD GetAdaptersInfo(IP_ADAPTER_INFO* info, win::ULONG* size);
using GetAdaptersInfoProc = win::DWORD (*)(IP_ADAPTER_INFO* info, win::ULONG* size);
