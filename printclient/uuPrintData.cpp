#include "uuPrintData.h"

#include <cstring>
#include <memory>

#include "common/uuCommon.h"
#include "platform/inet/wininet.h"
#include "platform/process/process.h"

namespace printclient::uuPrintData {

std::string PrintDataError;

void LogErr(const std::string& text) { uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", text); }
void LogDebug(const std::string& text) { uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.debug", text); }

namespace {

constexpr win::DWORD kChunk = 1024;

std::string LastErrorText() { return win::SysErrorMessage(win::GetLastError()); }

std::string ProgramName() {
  std::string path = win::GetModuleFileName();
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The URL being fetched: the request's, then each redirect's target.
std::string g_current;

void OnStatus(win::HINTERNET, win::DWORD, win::DWORD status, const void* info, win::DWORD) {
  if (status != win::INTERNET_STATUS_REDIRECT || !info) return;
  g_current = static_cast<const char*>(info);
  LogDebug("[GPD] 重新導向 " + uuCommon::ForLog(g_current));
}

// A "#" would end the query: the rest of the id would never reach the server.
std::string EncodeId(const std::string& Data) {
  std::string out;
  out.reserve(Data.size());
  for (char c : Data) {
    if (c == '#') out += "%23";
    else out += c;
  }
  return out;
}

// Closes the handles whatever happens, each on its own.
struct Handles {
  win::HINTERNET session = nullptr;
  win::HINTERNET url = nullptr;
  ~Handles() {
    try {
      if (url) win::InternetCloseHandle(url);
    } catch (...) {
    }
    try {
      if (session) win::InternetCloseHandle(session);
    } catch (...) {
    }
  }
};

}  // namespace

bool GetPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                  const std::string& Data, std::string& Text) {
  (void)IP;
  PrintDataError.clear();
  auto buffer = std::make_unique<char[]>(kChunk + 1);
  Handles h;

  h.session = win::InternetOpen(ProgramName(), win::INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
  if (!h.session) {
    PrintDataError = "初始失敗";
    LogErr("[GPD] 初始失敗: " + LastErrorText());
    return false;
  }
  LogDebug("[GPD] 初始成功");
  win::InternetSetStatusCallback(h.session, &OnStatus);

  const std::string url = "http://" + WebName + WebPage + "PrintData.aspx?d=" + EncodeId(Data);
  g_current = url;
  h.url = win::InternetOpenUrl(h.session, url, "", 0, 0);
  if (!h.url) {
    PrintDataError = "連線失敗";
    LogErr("[GPD] 開啟服務失敗(連線失敗):" + LastErrorText() + " " + uuCommon::ForLog(g_current));
    return false;
  }
  LogDebug("[GPD] 連線成功 " + uuCommon::ForLog(url));

  // The body ends only when a read gives no bytes: a short read in the
  // middle of the body is not its end.
  std::string reply;
  size_t received = 0;
  for (;;) {
    win::DWORD got = 0;
    if (!win::InternetReadFile(h.url, buffer.get(), kChunk, &got)) {
      PrintDataError = "讀取失敗";
      LogErr("[GPD] 讀取失敗: " + LastErrorText());
      return false;
    }
    if (got == 0) break;
    received += got;
    if (received > kMaxReply) {
      PrintDataError = "讀取失敗";
      LogErr("[GPD] 讀取失敗: 資料超過 " + std::to_string(kMaxReply) + " bytes");
      return false;
    }
    // A zero byte has no place in a reply: one would cut the chunk it is in.
    // AT counts from 1.
    if (const void* zero = std::memchr(buffer.get(), 0, got)) {
      const size_t at = received - got + 1 + static_cast<size_t>(static_cast<const char*>(zero) - buffer.get());
      PrintDataError = "讀取失敗";
      LogErr("[GPD] 讀取失敗: 資料第 " + std::to_string(at) + " 位元組為零");
      return false;
    }
    buffer[got] = 0;
    reply.append(buffer.get(), got);
  }
  LogDebug("[GPD] 成功取得列印資料 " + uuCommon::ForLog(url));
  Text = std::move(reply);
  return true;
}

}  // namespace printclient::uuPrintData
