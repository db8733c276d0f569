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

std::string ReplyForLog(const std::string& Reply) {
  if (Reply.size() <= kMaxLoggedReply) return Reply;
  return Reply.substr(0, kMaxLoggedReply) + " ... (" + std::to_string(Reply.size()) + " bytes)";
}

namespace {

constexpr win::DWORD kChunk = 1024;

std::string LastErrorText() { return win::SysErrorMessage(win::GetLastError()); }

std::string ProgramName() {
  std::string path = win::GetModuleFileName();
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void OnStatus(win::HINTERNET, win::DWORD, win::DWORD status, const void* info, win::DWORD) {
  if (status == win::INTERNET_STATUS_REDIRECT && info)
    LogDebug("[GPD] 重新導向 " + std::string(static_cast<const char*>(info)));
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

  const std::string url = "http://" + WebName + WebPage + "PrintData.aspx?d=" + Data;
  h.url = win::InternetOpenUrl(h.session, url, "", 0, 0);
  if (!h.url) {
    PrintDataError = "連線失敗";
    LogErr("[GPD] 開啟服務失敗(連線失敗):" + LastErrorText() + " " + url);
    return false;
  }
  LogDebug("[GPD] 連線成功 " + url);

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
    buffer[got] = 0;
    reply.append(buffer.get(), std::strlen(buffer.get()));  // each chunk up to its first zero byte
  }
  LogDebug("[GPD] 成功取得列印資料 " + url);
  Text = std::move(reply);
  return true;
}

}  // namespace printclient::uuPrintData
