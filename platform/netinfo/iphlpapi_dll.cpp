// IPHLPAPI.DLL: the adapter list of the machine, read from the kernel on
// each call.
#include "iphlpapi.h"
#include "netinfo.h"

extern "C" win::DWORD GetAdaptersInfo(IP_ADAPTER_INFO* info, win::ULONG* size) {
  try {
    return netinfo::FillAdapterInfo(netinfo::ReadAdapters(), info, size);
  } catch (...) {
    return win::ERROR_NOT_SUPPORTED;
  }
}
