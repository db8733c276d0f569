#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/netinfo/netinfo.h"
#include "tests/support/testroot.h"

TEST(NetInfo, DefaultGatewaysFromTheRouteTable) {
  const char* table =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
      "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
      "wlan0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
      "eth1\t00000000\tFE00000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
      "garbage line\n";
  auto gws = netinfo::ParseRouteTable(table);
  ASSERT_EQ(gws.size(), 2u);
  EXPECT_EQ(gws[0], (std::pair<std::string, std::string>{"eth0", "192.168.1.1"}));
  EXPECT_EQ(gws[1], (std::pair<std::string, std::string>{"eth1", "10.0.0.254"}));
}

TEST(NetInfo, AdapterChainLivesInTheCallersBuffer) {
  std::vector<netinfo::Adapter> list(2);
  list[0].name = "eth0";
  list[0].mac = {1, 2, 3, 4, 5, 6};
  list[0].addresses = {{"192.168.1.5", "255.255.255.0"}, {"10.1.1.1", "255.0.0.0"}, {"172.16.0.1", "255.255.0.0"}};
  list[0].gateways = {"192.168.1.1"};
  list[1].name = "eth1";
  list[1].mac = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};  // longer than the record holds

  win::ULONG size = 0;
  EXPECT_EQ(netinfo::FillAdapterInfo(list, nullptr, nullptr), win::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(netinfo::FillAdapterInfo({}, nullptr, &size), win::ERROR_NO_DATA);
  ASSERT_EQ(netinfo::FillAdapterInfo(list, nullptr, &size), win::ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 2 * sizeof(IP_ADAPTER_INFO) + 2 * sizeof(IP_ADDR_STRING));
  std::vector<IP_ADAPTER_INFO> buf(4);
  win::ULONG small = size - 1;
  EXPECT_EQ(netinfo::FillAdapterInfo(list, buf.data(), &small), win::ERROR_BUFFER_OVERFLOW);
  ASSERT_EQ(netinfo::FillAdapterInfo(list, buf.data(), &size), 0u);

  const IP_ADAPTER_INFO* a = buf.data();
  EXPECT_STREQ(a->AdapterName, "eth0");
  EXPECT_EQ(a->AddressLength, 6u);
  std::vector<std::string> ips;
  for (const IP_ADDR_STRING* s = &a->IpAddressList; s; s = s->Next) ips.push_back(s->IpAddress);
  EXPECT_EQ(ips, (std::vector<std::string>{"192.168.1.5", "10.1.1.1", "172.16.0.1"}));
  EXPECT_STREQ(a->GatewayList.IpAddress, "192.168.1.1");
  const IP_ADAPTER_INFO* b = a->Next;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Next, nullptr);
  EXPECT_EQ(b->AddressLength, 8u);
  EXPECT_STREQ(b->IpAddressList.IpAddress, "0.0.0.0");  // no address
  EXPECT_STREQ(b->GatewayList.IpAddress, "");            // no gateway
}

// The library file the control loads answers as the kernel's list says.
TEST(NetInfo, TheSystemLibraryReportsTheKernelsAdapters) {
  void* lib = dlopen(testing_support::BinPath("IPHLPAPI.DLL").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto get = reinterpret_cast<GetAdaptersInfoProc>(dlsym(lib, "GetAdaptersInfo"));
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(dlsym(lib, "_ZN7netinfo12ReadAdaptersEv"), nullptr);  // only the entry point is visible
  auto kernel = netinfo::ReadAdapters();
  win::ULONG size = 0;
  win::DWORD rc = get(nullptr, &size);
  if (kernel.empty()) {
    EXPECT_EQ(rc, win::ERROR_NO_DATA);
  } else {
    ASSERT_EQ(rc, win::ERROR_BUFFER_OVERFLOW);
    std::vector<IP_ADAPTER_INFO> buf(size / sizeof(IP_ADAPTER_INFO) + 1);
    ASSERT_EQ(get(buf.data(), &size), 0u);
    size_t n = 0;
    for (const IP_ADAPTER_INFO* a = buf.data(); a; a = a->Next, ++n) {
      EXPECT_NE(std::string(a->AdapterName), "lo");
      EXPECT_EQ(std::memcmp(a->Address, kernel[n].mac.data(), a->AddressLength), 0);
    }
    EXPECT_EQ(n, kernel.size());
  }
  dlclose(lib);
}
