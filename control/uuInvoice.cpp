#include "uuInvoice.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/serial/serial.h"

namespace control::uuInvoice {
namespace {

const char kPort[] = "COM1";
const char kModeParameters[] = "COM1: baud=9600 data=8 stop=1 parity=n";

// A limit from the environment, or FALLBACK.
unsigned EnvMs(const char* name, unsigned fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  unsigned long n = std::strtoul(v, &end, 10);
  // Only ever shorter than the fixed limit.
  return end && *end == 0 && n <= fallback ? static_cast<unsigned>(n) : fallback;
}

}  // namespace

TInvoiceTiming TInvoiceTiming::FromEnvironment() {
  TInvoiceTiming t;
  t.deadlineMs = EnvMs("ZOLMET_INVOICE_DEADLINE_MS", t.deadlineMs);
  t.pauseMs = EnvMs("ZOLMET_INVOICE_PAUSE_MS", t.pauseMs);
  return t;
}

bool HexToBytes(const std::string& hex, std::string& bytes, std::string& message) {
  bytes.clear();
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = ::uuCoding::HexValue(hex[i]), lo = ::uuCoding::HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      message = "'" + hex.substr(i, 2) + "' is not a valid hex value";
      return false;
    }
    bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string Invoice(const std::string& Data, const TInvoiceTiming& timing) {
  unsigned mode = serial::ShellExecuteMode(kModeParameters);
  if (mode <= 32) return "COM Port 初始化失敗: 參數設定失敗(" + std::to_string(mode) + ")";
  win::Sleep(timing.pauseMs);  // the command runs on its own

  std::string bytes, message;
  if (!HexToBytes(Data, bytes, message)) return "解碼失敗: " + message;

  int port = serial::OpenPort(kPort);
  if (port < 0) throw EInvoicePortError("開檔失敗: " + std::to_string(win::GetLastError()));
  std::string answer = "OK";
  try {
    std::uint64_t deadline = win::MonotonicMs() + timing.deadlineMs;
    size_t written = 0;
    while (written < bytes.size() && win::MonotonicMs() < deadline) {
      long n = serial::WritePort(port, bytes.data() + written, bytes.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (written < bytes.size()) {
        std::uint64_t now = win::MonotonicMs();
        if (now < deadline) win::Sleep(static_cast<win::DWORD>(std::min<std::uint64_t>(timing.pauseMs, deadline - now)));
      }
    }
    if (written < bytes.size()) {
      serial::AbandonOutput(port);
      answer = "列印逾時";
    }
  } catch (const std::exception& e) {
    answer = std::string("列印輸出失敗: ") + e.what();
  } catch (...) {
    answer = "列印輸出失敗: ";
  }
  serial::ClosePort(port);
  return answer;
}

}  // namespace control::uuInvoice
