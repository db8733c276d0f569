// IPHLPAPI.DLL: the adapter list of the machine, read from the kernel on
// each call.
#include "iphlpapi.h"
#include "netinfo.h"

extern "C" IPHLP_DWORD GetAdaptersInfo(IP_ADAPTER_INFO* info, IPHLP_ULONG* size) {
  try {
    return netinfo::FillAdapterInfo(netinfo::ReadAdapters(), info, size);
  } catch (...) {
    return ERROR_NOT_SUPPORTED_IPHLP;
  }
}
